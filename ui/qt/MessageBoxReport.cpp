#include "ui/qt/MessageBoxReport.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/ErrorReport.h"

void InstallMessageBoxReporter() {
    SetErrorReporter([](const std::string& text) {
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        const std::string title = ApplicationTitle(exe.toStdString());
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                        QString::fromStdString(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    });
}
