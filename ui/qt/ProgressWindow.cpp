#include "ui/qt/ProgressWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "ui/ErrorReport.h"
#include "ui/qt/UiText.h"

TQtProgressWindow::TQtProgressWindow(QWidget* owner, std::function<void()> cancel)
    : QDialog(owner), cancel_(std::move(cancel)) {
    setObjectName(QStringLiteral("Form3"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(owner->font());
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    B_CANCEL = new QPushButton(this);
    B_CANCEL->setObjectName(QStringLiteral("B_CANCEL"));
    // The window grows with its text; the elapsed time never makes it jump
    // narrower, and a second more never cuts it.
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(Label1);
    layout->addWidget(B_CANCEL, 0, Qt::AlignHCenter);
    connect(B_CANCEL, &QPushButton::clicked, this, [this] { Guarded(cancel_); });
}

void TQtProgressWindow::ShowProgress(const std::string& caption, const std::string& text,
                                     const std::string& button) {
    setWindowTitle(FromCp932(caption));
    Label1->setText(FromCp932(text));
    Label1->setMinimumWidth(std::max(Label1->minimumWidth(), Label1->sizeHint().width()));
    B_CANCEL->setText(FromCp932(button));
    B_CANCEL->setVisible(!button.empty());
    if (!isVisible()) {
        show();
        raise();
    }
}

void TQtProgressWindow::HideProgress() {
    hide();
}

void TQtProgressWindow::reject() {
    // The close box and Escape stop waiting; the window goes when the hand-off ends.
    Guarded(cancel_);
}
