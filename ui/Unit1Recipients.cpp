// The recipient buttons: the selected entries into To, CC or BCC of a mail item.
#include <QRadioButton>
#include <utility>

#include "Encoding.h"
#include "Prefs.h"
#include "Unit1.h"

std::string TForm1::getAddress() {
    std::string text;
    if (!book_) {
        return text;
    }
    for (const std::string& caption : SelectedCaptions()) {
        text += book_->JoinedRecipients(caption);
    }
    return text;
}

std::unique_ptr<TMailItem> TForm1::getMailItem() {
    OutlookApplication1->Connect();
    if (RB_NewWin->isChecked()) {
        return OutlookApplication1->CreateItem();
    }
    return OutlookApplication1->ActiveItem();
}

void TForm1::SetMailClient(std::unique_ptr<TMailClient> client) {
    OutlookApplication1 = std::move(client);
    const bool reachable = OutlookApplication1->CanReachOpenItems();
    if (!reachable && RB_ExistWin->isChecked()) {
        RB_NewWin->setChecked(true);
    }
    RB_ExistWin->setEnabled(reachable);
    RB_ExistWin->setToolTip(
        reachable ? QString()
                  : QStringLiteral("この環境では既存のメールウインドウに書き込めません"));
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
