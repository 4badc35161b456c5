// The clipboard's rules, the same for every face: what counts as its text
// and the one error every failure to read or replace it gives.
#pragma once

#include <string_view>

// The clipboard's text ends at its first NUL.
std::string_view ClipboardText(std::string_view data);
std::u16string_view ClipboardText(std::u16string_view data);

// The clipboard could not be opened, read or replaced: EAppError
// "クリップボードを開くことができません".
[[noreturn]] void ThrowClipboardError();
