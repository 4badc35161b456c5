// The recipient buttons: the selected entries into To, CC or BCC of a mail item.
// The hand-off waits in the face's event loop, so the window goes on being
// drawn and used meanwhile; what must not run twice is disabled.
#include <chrono>
#include <utility>

#include "core/Encoding.h"
#include "core/Utils.h"
#include "mailclient/EventLoop.h"
#include "ui/Unit1.h"

namespace {

constexpr TCommandButton kHeldButtons[] = {TCommandButton::B_TO, TCommandButton::B_CC,
                                           TCommandButton::B_BCC, TCommandButton::B_READ,
                                           TCommandButton::B_QUIT};

}  // namespace

std::string HandOffProgressText(const std::string& client, size_t recipients, long seconds) {
    return client + " に " + GroupDigits(recipients) + " 件の宛先を渡しています… " +
           std::to_string(seconds) + " 秒";
}

// One hand-off, from the press to the mail client's last answer: the busy
// cursor and the held buttons at once, the progress window after a second.
class TForm1::THandOff {
  public:
    THandOff(TForm1& form, size_t recipients)
        : form_(form),
          loop_(form.view_.EventLoop()),
          client_(form.OutlookApplication1->DisplayName()),
          cancellable_(form.OutlookApplication1->CanCancelWait()),
          recipients_(recipients),
          start_(loop_.Now()) {
        form_.handOff_ = this;
        form_.view_.SetBusyCursor(true);
        for (const TCommandButton b : kHeldButtons) {
            form_.view_.SetButtonEnabled(b, false);
        }
        Tick(std::chrono::milliseconds(kProgressDelayMs));
    }

    ~THandOff() {
        timer_.reset();
        TForm1View& view = form_.view_;
        view.Progress().HideProgress();
        for (const TCommandButton b : kHeldButtons) {
            view.SetButtonEnabled(b, true);
        }
        view.SetBusyCursor(false);
        form_.handOff_ = nullptr;
        if (form_.closePending_) {
            form_.closePending_ = false;
            view.Close();
        }
    }

  private:
    // The window's time moves on in whole seconds from the press.
    void Tick(std::chrono::milliseconds delay) {
        timer_ = loop_.CallAfter(delay, [this] {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(loop_.Now() - start_);
            const long seconds = static_cast<long>(elapsed.count() / 1000);
            form_.view_.Progress().ShowProgress(
                Utf8ToCp932("宛先の受け渡し"),
                Utf8ToCp932(HandOffProgressText(client_, recipients_, seconds)),
                cancellable_ ? Utf8ToCp932("中止") : std::string());
            Tick(std::chrono::milliseconds(1000 - elapsed.count() % 1000));
        });
    }

    TForm1& form_;
    TEventLoop& loop_;
    std::string client_;
    bool cancellable_;
    size_t recipients_;
    TEventLoop::TClock::time_point start_;
    std::unique_ptr<TEventLoop::TSubscription> timer_;
};

std::string TForm1::Recipients(size_t& count) {
    std::string text;
    count = 0;
    if (!book_) {
        return text;
    }
    const TRecipientForm form = RecipientForm(Prefs);
    for (const std::string& caption : view_.ListSelectedCaptions()) {
        size_t items = 0;
        text += book_->JoinedRecipients(caption, form, &items);
        count += items;
    }
    return text;
}

std::string TForm1::getAddress() {
    size_t count = 0;
    return Recipients(count);
}

void TForm1::ProgressCancelClick() {
    if (handOff_ != nullptr && OutlookApplication1) {
        OutlookApplication1->CancelWait();
    }
}

bool TForm1::CloseQuery() {
    if (handOff_ == nullptr) {
        return true;
    }
    closePending_ = true;
    return false;
}

std::unique_ptr<TMailItem> TForm1::getMailItem() {
    OutlookApplication1->Connect();
    if (view_.RadioChecked(TRadioButton::RB_NewWin)) {
        return OutlookApplication1->CreateItem();
    }
    return OutlookApplication1->ActiveItem();
}

void TForm1::SetMailClient(std::unique_ptr<TMailClient> client) {
    OutlookApplication1 = std::move(client);
    OutlookApplication1->SetReachChangedCallback([this] { MailClientReachChanged(); });
    MailClientReachChanged();
}

void TForm1::MailClientReachChanged() {
    const bool reachable = OutlookApplication1 && OutlookApplication1->CanReachOpenItems();
    if (!reachable && view_.RadioChecked(TRadioButton::RB_ExistWin)) {
        view_.CheckRadio(TRadioButton::RB_NewWin);
    }
    view_.SetRadioEnabled(TRadioButton::RB_ExistWin, reachable,
                          reachable
                              ? std::string()
                              : Utf8ToCp932("この環境では既存のメールウインドウに書き込めません"));
}

void TForm1::WriteRecipients(TMailField field) {
    if (handOff_ != nullptr) {
        return;  // its buttons are disabled; a face may still deliver a press
    }
    size_t count = 0;
    const std::string recipients = Recipients(count);
    if (recipients.empty()) {
        return;
    }
    const THandOff handOff(*this, count);
    const std::unique_ptr<TMailItem> item = getMailItem();
    if (!item) {
        return;
    }
    // Only our text is converted; what the field held stays as the client holds it.
    const std::u16string text = Cp932ToUtf16(recipients);
    if (Prefs.UseAppendMode) {
        item->AppendToField(field, text);
    } else {
        item->SetField(field, text);
    }
    item->Display();  // in both modes, whichever field
}

void TForm1::B_TOClick() {
    WriteRecipients(TMailField::To);
}

void TForm1::B_CCClick() {
    WriteRecipients(TMailField::CC);
}

void TForm1::B_BCCClick() {
    WriteRecipients(TMailField::BCC);
}
