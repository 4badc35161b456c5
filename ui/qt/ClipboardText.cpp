#include "ui/qt/ClipboardText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdlib>

#if defined(QUORVANTEL_HAVE_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include "core/QuoteTransform.h"
#include "ui/Clipboard.h"

namespace {

QClipboard* OpenClipboard() {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (!clipboard) {
        ThrowClipboardError();
    }
    return clipboard;
}

// Qt gives no error when the program holding the X clipboard does not answer:
// after its timeout the clipboard just looks empty. An owner that offers no
// format at all is such a silent owner; taking its clipboard would throw away
// what it holds. Elsewhere Qt cannot tell, and this answers false.
bool HeldBySilentOwner(QClipboard* clipboard, const QMimeData* data) {
    if (clipboard->ownsClipboard() || (data && !data->formats().isEmpty())) {
        return false;
    }
#if defined(QUORVANTEL_HAVE_XCB)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        return false;
    }
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    if (!atom) {
        return false;
    }
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!owner) {
        return false;
    }
    const bool held = owner->owner != XCB_NONE;
    std::free(owner);
    return held;
#else
    return false;
#endif
}

}  // namespace

std::string ReadClipboardText() {
    QClipboard* clipboard = OpenClipboard();
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (HeldBySilentOwner(clipboard, data)) {
        ThrowClipboardError();
    }
    const QString text = data ? data->text() : QString();
    const QByteArray utf8 = text.toUtf8();
    return LfToCrLf(
        ClipboardText(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))));
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
        ThrowClipboardError();
    }
}
