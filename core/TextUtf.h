// UTF-8 and UTF-16 without any platform library. Malformed input (a lone
// surrogate, a bad or overlong UTF-8 sequence) becomes U+FFFD, so the output
// is always well formed.
#pragma once

#include <string>
#include <string_view>

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Decodes the code point at text[pos] and advances pos past it.
char32_t NextUtf8CodePoint(std::string_view text, size_t& pos);

// Appends the UTF-8 form of a code point (a surrogate becomes U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);
