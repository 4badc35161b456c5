#include "mailclient/DesktopMailClient.h"

#include <utility>

#include "core/Errors.h"
#include "core/TextUtf.h"
#include "core/Utils.h"
#include "mailclient/MailtoUrl.h"

namespace {

class TDraftItem : public TMailItem {
  public:
    TDraftItem(TDesktopMailClient::TUrlOpener opener, size_t urlLimit)
        : opener_(std::move(opener)), urlLimit_(urlLimit) {}

    std::u16string GetField(TMailField field) override { return Slot(field); }
    void SetField(TMailField field, const std::u16string& text) override { Slot(field) = text; }

    void Display() override {
        const std::string to = Utf16ToUtf8(to_), cc = Utf16ToUtf8(cc_), bcc = Utf16ToUtf8(bcc_);
        const std::string url = BuildMailtoUrl(to, cc, bcc);
        if (url.size() > urlLimit_) {
            const size_t recipients = SplitRecipientEntries(to).size() +
                                      SplitRecipientEntries(cc).size() +
                                      SplitRecipientEntries(bcc).size();
            throw EAppError("宛先 " + GroupDigits(recipients) +
                            " 件は、メールソフトに一度に渡せる長さを超えています (URL が " +
                            GroupDigits(url.size()) + " 文字、上限は " + GroupDigits(urlLimit_) +
                            " 文字)");
        }
        if (!opener_(url)) {
            throw EAppError("メールソフトを起動できません");
        }
    }

  private:
    std::u16string& Slot(TMailField field) {
        switch (field) {
            case TMailField::To:
                return to_;
            case TMailField::CC:
                return cc_;
            case TMailField::BCC:
                break;
        }
        return bcc_;
    }

    TDesktopMailClient::TUrlOpener opener_;
    size_t urlLimit_;
    std::u16string to_, cc_, bcc_;
};

}  // namespace

TDesktopMailClient::TDesktopMailClient(TUrlOpener opener, size_t urlLimit)
    : opener_(std::move(opener)), urlLimit_(urlLimit) {}

std::unique_ptr<TMailItem> TDesktopMailClient::CreateItem() {
    return std::make_unique<TDraftItem>(opener_, urlLimit_);
}
