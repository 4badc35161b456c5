// The entry properties dialog: the six fields of one address-book entry,
// read-only, taken from the main window's PropertyCard whenever it is shown.
#pragma once

#include <string>

#include "core/AddressBook.h"

enum class TPropertyBox { NickName, Address, Tel, Org, OrgUnit, Memo };

// What the dialog needs of its window. Texts are cp932.
class TForm2View {
  public:
    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetBoxText(TPropertyBox box, const std::string& text) = 0;
    // Shows the window without making it modal, restored if minimised, in front.
    virtual void ShowModeless() = 0;
    virtual void Hide() = 0;

  protected:
    ~TForm2View() = default;
};

class TForm2 {
  public:
    // propertyCard is the main window's PropertyCard; it must outlive the dialog.
    TForm2(TForm2View& view, const TCard& propertyCard);

    // Fills and shows the dialog; an open dialog is refilled too, so it
    // always shows the entry chosen last.
    void ShowProperties();

    // Fills the caption and the six boxes from PropertyCard.
    void FormShow();
    void Button1Click();

  private:
    TForm2View& view_;
    const TCard& propertyCard_;
};
