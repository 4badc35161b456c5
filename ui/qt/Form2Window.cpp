#include "ui/qt/Form2Window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "ui/ErrorReport.h"
#include "ui/qt/UiText.h"

namespace {

// The window as designed, outer bounds.
constexpr int kLeft = 453;
constexpr int kTop = 111;
constexpr int kWidth = 247;
constexpr int kHeight = 245;

}  // namespace

TForm2Window::TForm2Window(const TCard& propertyCard, QWidget* parent)
    : QWidget(parent, Qt::Window), Form(*this, propertyCard) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setFont(JapaneseUiFont());
    setAutoFillBackground(true);
    move(kLeft, kTop);
    resize(kWidth, kHeight);

    auto label = [this](const char* name, const QString& text, int left, int top) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    Label1 = label("Label1", QStringLiteral("名前"), 9, 16);
    Label2 = label("Label2", QStringLiteral("アドレス"), 10, 41);
    Label3 = label("Label3", QStringLiteral("電話番号"), 10, 76);
    Label4 = label("Label4", QStringLiteral("所属"), 10, 100);
    Label5 = label("Label5", QStringLiteral("部署"), 11, 127);
    Label6 = label("Label6", QStringLiteral("メモ"), 11, 152);

    // Read-only boxes on the menu colour, as the main window's folder box.
    QPalette boxPalette = palette();
    boxPalette.setColor(QPalette::Base, MenuColor());
    auto box = [this, &boxPalette](const char* name, int top) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        e->setPalette(boxPalette);
        e->setGeometry(72, top, 158, 20);
        return e;
    };
    NickName = box("NickName", 14);
    Address = box("Address", 39);
    Tel = box("Tel", 71);
    Org = box("Org", 97);
    OrgUnit = box("OrgUnit", 122);
    Memo = box("Memo", 149);

    Button1 = new QPushButton(QStringLiteral("閉じる"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(86, 184, 75, 25);
    connect(Button1, &QPushButton::clicked, this,
            [this] { Guarded([this] { Form.Button1Click(); }); });

    QWidget* order[] = {NickName, Address, Tel, Org, OrgUnit, Memo, Button1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm2Window::ShowModeless() {
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
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
    if (frameAdopted_ || !isVisible() || isMaximized() || isFullScreen())
        return;
    const QSize extra = frameGeometry().size() - size();
    if (extra.width() <= 0 && extra.height() <= 0)
        return;
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
