// The entry properties dialog: the six fields of one address-book entry,
// read-only, taken from the main window's PropertyCard whenever it is shown.
#pragma once

#include <QWidget>

struct TCard;
class QLabel;
class QLineEdit;
class QPushButton;

class TForm2 : public QWidget {
    Q_OBJECT

  public:
    // propertyCard is the main window's PropertyCard; it must outlive the dialog.
    explicit TForm2(const TCard* propertyCard, QWidget* parent = nullptr);

    // Shows the dialog without making it modal and brings it to the front; an
    // open dialog is refilled, so it always shows the entry chosen last.
    void ShowProperties();

    // Fills the caption and the six boxes from PropertyCard.
    void FormShow();
    void Button1Click();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* NickName;
    QLineEdit* Address;
    QLineEdit* Tel;
    QLineEdit* Org;
    QLineEdit* OrgUnit;
    QLineEdit* Memo;
    QPushButton* Button1;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void AdoptFrame();

    const TCard* propertyCard_;
    bool frameAdopted_ = false;
};
