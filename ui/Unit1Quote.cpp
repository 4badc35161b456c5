// The quote button: the clipboard's text with the quote mark before every line.
#include <QLineEdit>

#include "ClipboardText.h"
#include "QuoteTransform.h"
#include "Unit1.h"

void TForm1::B_QUOTEClick() {
    // Reading and writing are two separate trips to the clipboard; another
    // program may change it in between, and the write replaces whatever is there.
    const std::string text = ReadClipboardText();
    const QByteArray mark = Edit2->text().toUtf8();
    WriteClipboardText(QuoteLines(text, std::string_view(mark.constData(), mark.size())));
}
