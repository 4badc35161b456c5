#include "ClipboardText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "Errors.h"
#include "QuoteTransform.h"

namespace {

QClipboard* OpenClipboard() {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (!clipboard)
        throw EAppError("クリップボードを開くことができません");
    return clipboard;
}

}  // namespace

std::string ReadClipboardText() {
    const QString text = OpenClipboard()->text(QClipboard::Clipboard);
    QByteArray utf8 = text.toUtf8();
    const qsizetype nul = utf8.indexOf('\0');
    if (nul >= 0)
        utf8.truncate(nul);
    return LfToCrLf(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void WriteClipboardText(std::string_view text) {
    QClipboard* clipboard = OpenClipboard();
    const std::string lf = CrLfToLf(text);
    const QString qtext = QString::fromUtf8(lf.data(), static_cast<qsizetype>(lf.size()));
    // A fresh QMimeData with text alone: every other format the clipboard held is dropped.
    auto* data = new QMimeData;
    data->setText(qtext);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    // Qt reports no failure of its own; on X11 a selection it could not take
    // leaves the clipboard with some other owner, and then the text read back differs.
    if (clipboard->text(QClipboard::Clipboard) != qtext) {
        throw EAppError("クリップボードを開くことができません");
    }
}
