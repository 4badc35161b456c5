// The quote button: the clipboard's text with the quote mark before every line.
#include "core/QuoteTransform.h"
#include "ui/Unit1.h"

void TForm1::B_QUOTEClick() {
    // Reading and writing are two separate trips to the clipboard; another
    // program may change it in between, and the write replaces whatever is there.
    const std::string text = view_.ReadClipboardText();
    view_.WriteClipboardText(QuoteLines(text, view_.QuoteMark()));
}
