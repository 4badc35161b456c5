#include "fuzz/PrefsFuzz.h"

#include <stdlib.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Encoding.h"
#include "core/Errors.h"
#include "core/PrefsFile.h"
#include "core/Utils.h"
#include "fuzz/FuzzSupport.h"

namespace fs = std::filesystem;

namespace {

using fuzzsupport::Show;
using fuzzsupport::TScratch;
using fuzzsupport::WriteFile;

const std::string kNotInteger = "' は整数ではありません";
const std::string kListIndex = "リストのインデックスが範囲を超えています (0)";

// ---- Plain readings of the rules. ----

// The text as an error message shows it: a NUL would end the C string early.
std::string Shown(std::string_view text) {
    std::string out;
    for (const char c : Cp932ToUtf8(text)) {
        out += c == '\0' ? std::string("\uFFFD") : std::string(1, c);
    }
    return out;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::optional<int32_t> PlainHex(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    for (char c : digits) {
        if (!IsHex(c)) {
            return std::nullopt;
        }
    }
    while (!digits.empty() && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    if (digits.size() > 8) {
        return std::nullopt;
    }
    const unsigned long v = digits.empty() ? 0 : std::stoul(std::string(digits), nullptr, 16);
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

std::optional<int32_t> PlainDecimal(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return std::nullopt;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    while (!s.empty() && s.front() == '0') {
        s.remove_prefix(1);
    }
    if (s.size() > 10) {
        return std::nullopt;
    }
    int64_t v = s.empty() ? 0 : std::stoll(std::string(s));
    if (negative) {
        v = -v;
    }
    if (v < INT32_MIN || v > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(v);
}

std::optional<int32_t> PlainStrToInt(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return std::nullopt;
    }
    if (s.front() == '$' || s.front() == 'x' || s.front() == 'X') {
        return PlainHex(s.substr(1));
    }
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        return PlainHex(s.substr(2));
    }
    return PlainDecimal(s);
}

std::string Blanks(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    return std::string(s);
}

// The file's lines: byte 26 ends the file, bytes <= 32 before a line are
// skipped, CR ends a line.
std::vector<std::string> PlainLines(std::string_view b) {
    b = b.substr(0, b.find('\x1a'));
    std::vector<std::string> lines;
    size_t i = 0;
    while (true) {
        while (i < b.size() && static_cast<unsigned char>(b[i]) <= 32) {
            ++i;
        }
        if (i == b.size()) {
            return lines;
        }
        const size_t end = std::min(b.find('\r', i), b.size());
        lines.emplace_back(b.substr(i, end - i));
        i = end == b.size() ? end : end + 1;
    }
}

std::string PlainUpper(std::string_view s) {
    std::string out;
    for (char c : s) {
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    return out;
}

// What the window was told, in order, and the bad lines reported.
struct TRecorded {
    TPrefs prefs;
    TBounds bounds;
    std::string log;
};

class TRecordingWindow : public TPrefsWindow {
  public:
    explicit TRecordingWindow(TRecorded& r) : r_(r) {}
    void SetLeft(int v) override { Note('L', v, r_.bounds.Left); }
    void SetTop(int v) override { Note('T', v, r_.bounds.Top); }
    void SetWidth(int v) override { Note('W', v, r_.bounds.Width); }
    void SetHeight(int v) override { Note('H', v, r_.bounds.Height); }

  private:
    void Note(char what, int v, int& field) {
        field = v;
        r_.log += what + std::to_string(v) + "\n";
    }
    TRecorded& r_;
};

void PlainPair(const std::string& value, TRecorded& r, char first, int& a, char second, int& b) {
    const size_t comma = value.find(',');
    if (value.empty() || comma == std::string::npos) {
        r.log += "bad: " + kListIndex + "\n";
        return;
    }
    const std::string parts[2] = {Blanks(value.substr(0, comma)), Blanks(value.substr(comma + 1))};
    const char names[2] = {first, second};
    int* fields[2] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
        const std::optional<int32_t> v = PlainStrToInt(parts[k]);
        if (!v) {
            r.log += "bad: '" + Shown(parts[k]) + kNotInteger + "\n";
            return;
        }
        *fields[k] = *v;
        r.log += names[k] + std::to_string(*v) + "\n";
    }
}

TRecorded PlainRead(std::string_view bytes) {
    TRecorded r;
    for (const std::string& line : PlainLines(bytes)) {
        r.prefs.UseAppendMode = false;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string key = Blanks(line.substr(0, colon));
        const std::string value = Blanks(line.substr(colon + 1));
        if (key == "MailFolder") {
            r.prefs.MailFolder = value;
        } else if (key == "QuoteString") {
            const bool quoted = !value.empty() && (value[0] == '\'' || value[0] == '"');
            r.prefs.QuoteString = !quoted            ? value
                                  : value.size() < 2 ? ""
                                                     : value.substr(1, value.size() - 2);
        } else if (key == "List2ndItem") {
            r.prefs.List2ndItem = PlainUpper(value);
        } else if (key == "MailAddressOnly") {
            r.prefs.MailAddressOnly = PlainUpper(value);
        } else if (key == "WindowLocation") {
            PlainPair(value, r, 'L', r.bounds.Left, 'T', r.bounds.Top);
        } else if (key == "WindowSize") {
            PlainPair(value, r, 'W', r.bounds.Width, 'H', r.bounds.Height);
        } else if (key == "UseAppendMode") {
            r.prefs.UseAppendMode = PlainUpper(value) == "YES";
        }
    }
    return r;
}

bool SamePrefs(const TPrefs& a, const TPrefs& b) {
    return a.MailFolder == b.MailFolder && a.QuoteString == b.QuoteString &&
           a.List2ndItem == b.List2ndItem && a.MailAddressOnly == b.MailAddressOnly &&
           a.UseAppendMode == b.UseAppendMode;
}

// ---- The checks. ----

std::string CheckStrToInt(std::string_view text) {
    const std::optional<int32_t> expected = PlainStrToInt(text);
    try {
        const int32_t got = StrToInt(text);
        if (!expected || got != *expected) {
            return "StrToInt(" + Show(text) + ") gives " + std::to_string(got) + ", the rule " +
                   (expected ? std::to_string(*expected) : std::string("an error"));
        }
    } catch (const EConvertError& e) {
        if (expected) {
            return "StrToInt(" + Show(text) + ") throws, the rule gives " +
                   std::to_string(*expected);
        }
        if (e.what() != "'" + Shown(text) + kNotInteger) {
            return "StrToInt(" + Show(text) + ") message " + Show(e.what());
        }
    }
    return {};
}

std::string CheckUpper(std::string_view text) {
    const std::string up = UpperCaseAscii(text);
    if (up != PlainUpper(text)) {
        return "UpperCaseAscii(" + Show(text) + ") gives " + Show(up);
    }
    return {};
}

TRecorded Read(const fs::path& path) {
    TRecorded r;
    TRecordingWindow window(r);
    if (!ReadPrefsFile(path, r.prefs, window, [&](const EAppError& e) {
            r.log += std::string("bad: ") + e.what() + "\n";
        })) {
        r.log += "no file\n";
    }
    return r;
}

std::string CheckFile(const fs::path& path, std::string_view bytes) {
    if (!WriteFile(path, bytes)) {
        return "cannot write the preferences file";
    }
    const TRecorded got = Read(path);
    const TRecorded expected = PlainRead(bytes);
    if (!SamePrefs(got.prefs, expected.prefs)) {
        return "settings differ from a plain reading";
    }
    if (got.log != expected.log) {
        return "window values or bad lines differ from a plain reading:\n" + got.log + "against\n" +
               expected.log;
    }

    // Saved as the application saves it and read again: the same settings.
    const std::string saved =
        BuildPrefsText(got.prefs.MailFolder, got.prefs.QuoteString, got.prefs, got.bounds);
    if (!WriteFile(path, saved)) {
        return "cannot write the saved preferences";
    }
    const TRecorded again = Read(path);
    if (!SamePrefs(again.prefs, got.prefs) || again.bounds != got.bounds) {
        return "settings change when saved and read again: " + Show(saved);
    }
    if (again.log.find("bad: ") != std::string::npos) {
        return "the saved text has a bad line: " + Show(saved);
    }
    if (BuildPrefsText(again.prefs.MailFolder, again.prefs.QuoteString, again.prefs,
                       again.bounds) != saved) {
        return "the saved text changes when saved again";
    }
    return {};
}

}  // namespace

std::string FuzzPrefs(const uint8_t* data, size_t size) {
    static TScratch scratch;
    if (scratch.Dir().empty()) {
        return "cannot create a temporary folder";
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    try {
        std::string fault = CheckStrToInt(input);
        if (fault.empty()) {
            fault = CheckUpper(input);
        }
        if (fault.empty()) {
            fault = CheckFile(scratch.Dir() / kPrefsFileName, input);
        }
        return fault;
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    }
}
