// Byte-wise text helpers shared by the address-book readers, the preferences
// file and the quote transform. All text is cp932 bytes; the bytes looked for
// never occur as the second byte of a double-byte character.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Ordered list of names; keeps duplicates.
using TNameList = std::vector<std::string>;

// 0 items, or exactly 2: the blank-trimmed text before and after the first separator.
TNameList SplitAtFirst(std::string_view text, std::string_view separator);

// Lines of a text; only CR LF breaks a line.
TNameList SplitLines(std::string_view text);

// The blanks every trim removes: space and tab only. CR, LF and the
// ideographic space stay.
inline constexpr std::string_view kBlanks = " \t";

// The text without the bytes of chars at either end, as a view into text.
std::string_view TrimmedView(std::string_view text, std::string_view chars = kBlanks);

// Removes spaces and tabs at both ends.
std::string TrimBlanks(std::string_view text);

// Removes commas at both ends.
std::string TrimCommas(std::string_view text);

// Decimal with an optional sign, or hexadecimal after "$", "0x", "0X", "x" or
// "X" (at most eight significant digits, taken as 32-bit two's complement);
// leading spaces allowed, nothing after the digits.
// Throws EConvertError "'%s' は整数ではありません".
int32_t StrToInt(std::string_view text);

// "a".."z" to "A".."Z"; every other byte unchanged.
std::string UpperCaseAscii(std::string_view text);

// Hands the file's lines to onLine one at a time, in file order. Leading bytes
// <= 32 (except 26) are skipped, so every line is non-empty; CR ends a line
// (with an LF right after it), byte 26 ends the file. Throws EInOutError.
void ReadTextLines(const std::filesystem::path& path,
                   const std::function<void(const std::string&)>& onLine);

// The same reading rule without a copy per line: the view is valid only
// during the call.
void ForEachTextLine(const std::filesystem::path& path,
                     const std::function<void(std::string_view)>& onLine);

// A count as people read it: 10000 -> "10,000".
std::string GroupDigits(size_t n);
