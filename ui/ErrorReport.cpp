#include "ErrorReport.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>

namespace {

std::function<void(const QString&)>& Reporter() {
    static std::function<void(const QString&)> reporter;
    return reporter;
}

void ShowMessageBox(const QString& text) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace

QString ApplicationTitle() {
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty())
        name = QStringLiteral("quorvantel");
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString ReportText(const std::string& utf8Message) {
    std::string text = utf8Message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ReportError(const std::string& utf8Message) {
    const QString text = ReportText(utf8Message);
    if (Reporter()) {
        Reporter()(text);
    } else if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        ShowMessageBox(text);
    } else {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
}

void SetErrorReporter(std::function<void(const QString&)> reporter) {
    Reporter() = std::move(reporter);
}

void ReportCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            ReportError(e.what());
        } catch (...) {
            ReportError("予期しないエラーが発生しました");
        }
    } catch (...) {
        // The report itself failed (out of memory); nothing more can be shown.
    }
}
