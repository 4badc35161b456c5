#include "ui/Clipboard.h"

#include "core/Errors.h"

std::string_view ClipboardText(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

std::u16string_view ClipboardText(std::u16string_view data) {
    return data.substr(0, data.find(u'\0'));
}

void ThrowClipboardError() {
    throw EAppError("クリップボードを開くことができません");
}
