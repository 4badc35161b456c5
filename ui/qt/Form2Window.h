// The Qt face of the properties dialog.
#pragma once

#include <QWidget>

#include "ui/Unit2.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TForm2Window : public QWidget, public TForm2View {
    Q_OBJECT

  public:
    // propertyCard is the main window's PropertyCard; it must outlive the dialog.
    explicit TForm2Window(const TCard& propertyCard, QWidget* parent = nullptr);

    // The dialog's behaviour.
    TForm2 Form;

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

    // ---- TForm2View
    void SetCaption(const std::string& text) override;
    void SetBoxText(TPropertyBox box, const std::string& text) override;
    void ShowModeless() override;
    void Hide() override { close(); }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void AdoptFrame();

    bool frameAdopted_ = false;
};
