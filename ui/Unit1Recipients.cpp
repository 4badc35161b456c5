// The recipient buttons. The mail-client bridge fills in the writing.
#include "Unit1.h"

std::string TForm1::getAddress() {
    std::string text;
    if (!book_)
        return text;
    for (const std::string& caption : SelectedCaptions())
        text += book_->JoinedRecipients(caption);
    return text;
}

void TForm1::B_TOClick() {}

void TForm1::B_CCClick() {}

void TForm1::B_BCCClick() {}
