// The clipboard as the quote button sees it: plain text as UTF-8 bytes with
// CR LF line breaks, so the byte-exact transform loses no character.
#pragma once

#include <string>
#include <string_view>

// The clipboard's plain text up to its first NUL, every lone LF turned into
// CR LF; empty when the clipboard holds no text (a picture only, say).
// Throws EAppError "クリップボードを開くことができません" when there is no clipboard.
std::string ReadClipboardText();

// Replaces the whole clipboard content by the text, every CR LF turned into LF.
// Throws EAppError "クリップボードを開くことができません" when there is no
// clipboard or it does not take the text.
void WriteClipboardText(std::string_view text);
