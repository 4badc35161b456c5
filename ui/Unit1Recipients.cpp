// The recipient buttons: the selected entries into To, CC or BCC of a mail item.
#include <utility>

#include "core/Encoding.h"
#include "ui/Unit1.h"

std::string TForm1::getAddress() {
    std::string text;
    if (!book_) {
        return text;
    }
    const TRecipientForm form = RecipientForm(Prefs);
    for (const std::string& caption : view_.ListSelectedCaptions()) {
        text += book_->JoinedRecipients(caption, form);
    }
    return text;
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
    const std::string recipients = getAddress();
    if (recipients.empty()) {
        return;
    }
    const std::unique_ptr<TMailItem> item = getMailItem();
    if (!item) {
        return;
    }
    std::u16string text;
    if (Prefs.UseAppendMode) {
        // The old text stays exactly as the client holds it; only ours is converted.
        text = item->GetField(field);
        text += u"; ";
    }
    text += Cp932ToUtf16(recipients);
    item->SetField(field, text);
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
