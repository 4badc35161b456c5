#include "ui/Unit2.h"

#include "core/Encoding.h"

TForm2::TForm2(TForm2View& view, const TCard& propertyCard)
    : view_(view), propertyCard_(propertyCard) {}

void TForm2::ShowProperties() {
    // Filled before it shows, whether it was hidden or open.
    FormShow();
    view_.ShowModeless();
}

void TForm2::FormShow() {
    const TCard card = propertyCard_;
    view_.SetCaption(card.Nickname + Utf8ToCp932("のプロパティ"));
    view_.SetBoxText(TPropertyBox::NickName, card.Nickname);
    view_.SetBoxText(TPropertyBox::Address, card.Address);
    view_.SetBoxText(TPropertyBox::Tel, card.tel);
    view_.SetBoxText(TPropertyBox::Org, card.org);
    view_.SetBoxText(TPropertyBox::OrgUnit, card.org_unit);
    view_.SetBoxText(TPropertyBox::Memo, card.Memo);
}

void TForm2::Button1Click() {
    view_.Hide();
}
