#include "ui/qt/Form2Window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ErrorReport.h"
#include "ui/qt/QtForm.h"
#include "ui/qt/UiText.h"

TForm2Window::TForm2Window(const TCard& propertyCard, QWidget* parent)
    : QWidget(parent, Qt::Window), Form(*this, propertyCard) {
    const TFormDescription& design = Form2Description();
    BuildForm(*this, design);
    setAutoFillBackground(true);
    PlaceForm(*this, design);

    const auto find = [this](auto*& control, const char* name) {
        control = FormControl<std::remove_reference_t<decltype(*control)>>(*this, name);
    };
    find(Label1, "Label1");
    find(Label2, "Label2");
    find(Label3, "Label3");
    find(Label4, "Label4");
    find(Label5, "Label5");
    find(Label6, "Label6");
    find(NickName, "NickName");
    find(Address, "Address");
    find(Tel, "Tel");
    find(Org, "Org");
    find(OrgUnit, "OrgUnit");
    find(Memo, "Memo");
    find(Button1, "Button1");
    connect(Button1, &QPushButton::clicked, this,
            [this] { Guarded([this] { Form.Button1Click(); }); });
}

void TForm2Window::ShowModeless() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
}

void TForm2Window::SetCaption(const std::string& text) {
    setWindowTitle(FromCp932(text));
}

void TForm2Window::SetBoxText(TPropertyBox box, const std::string& text) {
    QLineEdit* boxes[] = {NickName, Address, Tel, Org, OrgUnit, Memo};
    QLineEdit* edit = boxes[static_cast<int>(box)];
    edit->setText(FromCp932(text));
    edit->setCursorPosition(0);
}

// A window manager adds its frame only once the window is shown; from then on
// the outer bounds keep the size the dialog was given.
void TForm2Window::AdoptFrame() {
    if (frameAdopted_ || !isVisible() || isMaximized() || isFullScreen()) {
        return;
    }
    const QSize extra = frameGeometry().size() - size();
    if (extra.width() <= 0 && extra.height() <= 0) {
        return;
    }
    frameAdopted_ = true;
    resize(size() - extra);
}

void TForm2Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    AdoptFrame();
}

void TForm2Window::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    AdoptFrame();
}
