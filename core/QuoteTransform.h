// The quote-mark transform of the clipboard text, and the line-break mapping
// between the clipboard and that transform. Byte-exact; no decoding needed,
// since CR and LF never occur inside a multi-byte character (cp932 or UTF-8).
#pragma once

#include <string>
#include <string_view>

// For every line of SplitLines(text): the quote mark, the line, CR LF.
// An empty text gives an empty result.
std::string QuoteLines(std::string_view text, std::string_view quoteMark);

// Text coming from the clipboard: every LF that does not follow a CR becomes CR LF.
std::string LfToCrLf(std::string_view text);

// Text going to the clipboard: every CR LF becomes LF.
std::string CrLfToLf(std::string_view text);
