// The one code-page boundary: cp932 bytes to and from Unicode and native paths.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// cp932 to UTF-8. A byte sequence that is no cp932 character becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// cp932 to UTF-16, with the same replacement rule.
std::u16string Cp932ToUtf16(std::string_view cp932);

// UTF-8 to cp932. A character that cp932 lacks becomes '?'.
std::string Utf8ToCp932(std::string_view utf8);

// UTF-16 to cp932, with the same replacement rule.
std::string Utf16ToCp932(std::u16string_view utf16);

// True when the byte starts a double-byte cp932 character; its second byte
// may be 0x5C, the byte of "\", which is then no separator.
constexpr bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True when every character of the UTF-8 text exists in cp932; bytes that are
// no UTF-8 have no cp932 form either.
bool IsCp932Representable(std::string_view utf8);

// cp932 path text to a native path (UTF-8 on POSIX, UTF-16 on Windows).
std::filesystem::path Cp932ToPath(std::string_view cp932);

// Native path to cp932 path text.
std::string PathToCp932(const std::filesystem::path& path);

// Native path bytes (UTF-8 on POSIX, cp932 on Windows) to cp932 text;
// characters cp932 lacks become '?'.
std::string NativeToCp932(std::string_view native);
// True when the last character (not merely the last byte) is kPathDelim: the
// second byte of 表 or ソ is 0x5C, the byte of "\".
bool EndsWithPathDelim(std::string_view cp932);

// The platform's path separator as the program tests and adds it.
inline constexpr char kPathDelim =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
