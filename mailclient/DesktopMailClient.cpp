#include "DesktopMailClient.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QUrl>
#include <utility>

#include "Errors.h"
#include "MailtoUrl.h"
#include "TextUtf.h"

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

bool OpenUrlOnDesktop(const std::string& url) {
    const QUrl qurl = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
    return qurl.isValid() && QDesktopServices::openUrl(qurl);
}

TDesktopMailClient::TDesktopMailClient(TUrlOpener opener)
    : opener_(opener ? std::move(opener) : TUrlOpener(OpenUrlOnDesktop)) {}

std::unique_ptr<TMailItem> TDesktopMailClient::CreateItem() {
    return std::make_unique<TDraftItem>(opener_);
}
