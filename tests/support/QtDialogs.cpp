#include "tests/support/QtDialogs.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>

bool AnswerFileDialog(const std::function<void()>& open,
                      const std::function<void(QFileDialog*)>& answer) {
    bool handled = false;
    const QDeadlineTimer deadline(10000);
    std::function<void()> poll = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            handled = true;
            answer(dialog);
            return;
        }
        if (deadline.hasExpired()) {
            if (auto* other = qobject_cast<QDialog*>(modal)) {
                other->reject();
            }
            return;
        }
        QTimer::singleShot(10, poll);
    };
    QTimer::singleShot(0, poll);
    open();
    return handled;
}
