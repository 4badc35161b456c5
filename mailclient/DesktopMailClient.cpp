#include "mailclient/DesktopMailClient.h"

#include <utility>

#include "core/Errors.h"
#include "core/TextUtf.h"
#include "mailclient/MailtoUrl.h"

namespace {

class TDraftItem : public TMailItem {
  public:
    explicit TDraftItem(TDesktopMailClient::TUrlOpener opener) : opener_(std::move(opener)) {}

    std::u16string GetField(TMailField field) override { return Slot(field); }
    void SetField(TMailField field, const std::u16string& text) override { Slot(field) = text; }

    void Display() override {
        const std::string url =
            BuildMailtoUrl(Utf16ToUtf8(to_), Utf16ToUtf8(cc_), Utf16ToUtf8(bcc_));
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
    std::u16string to_, cc_, bcc_;
};

}  // namespace

TDesktopMailClient::TDesktopMailClient(TUrlOpener opener) : opener_(std::move(opener)) {}

std::unique_ptr<TMailItem> TDesktopMailClient::CreateItem() {
    return std::make_unique<TDraftItem>(opener_);
}
