#include "core/PrefsFile.h"

#include <climits>

#include "core/Encoding.h"
#include "core/Files.h"
#include "core/Utils.h"

namespace {

[[noreturn]] void ThrowNotInteger(std::string_view text) {
    // The message is read as a C string: a NUL would end it early.
    std::string shown;
    for (const char c : Cp932ToUtf8(text))
        shown += c == '\0' ? std::string("\uFFFD") : std::string(1, c);
    throw EConvertError("'" + shown + "' は整数ではありません");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The two numbers of a "WindowLocation" or "WindowSize" value, each handed on
// as soon as it converts.
void ApplyPair(const std::string& value, TPrefsWindow& window, void (TPrefsWindow::*first)(int),
               void (TPrefsWindow::*second)(int)) {
    const TNameList parts = SplitAtFirst(value, ",");
    if (parts.size() < 2)
        throw EListError("リストのインデックスが範囲を超えています (0)");
    (window.*first)(StrToInt(parts[0]));
    (window.*second)(StrToInt(parts[1]));
}

}  // namespace

std::filesystem::path ChoosePrefsPath(const std::filesystem::path& exeDir, bool exeDirWritable,
                                      const std::filesystem::path& userConfigDir) {
    const std::filesystem::path beside = exeDir / kPrefsFileName;
    if (exeDirWritable || FileExists(beside) || userConfigDir.empty())
        return beside;
    return userConfigDir / "quorvantel" / kPrefsFileName;
}

int32_t StrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i == text.size())
        ThrowNotInteger(text);

    bool hex = false;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        hex = true;
        i += 1;
    } else if (text[i] == '0' && i + 1 < text.size() &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (hex) {
        if (i == text.size())
            ThrowNotInteger(text);
        uint32_t value = 0;
        int significant = 0;
        for (; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0)
                ThrowNotInteger(text);
            if (value != 0 || digit != 0)
                ++significant;
            if (significant > 8)
                ThrowNotInteger(text);
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        return static_cast<int32_t>(value);
    }

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        ThrowNotInteger(text);
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            ThrowNotInteger(text);
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1)
            ThrowNotInteger(text);
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        ThrowNotInteger(text);
    return static_cast<int32_t>(value);
}

std::string UpperCaseAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

void ApplyPrefsLine(const std::string& line, TPrefs& prefs, TPrefsWindow& window) {
    prefs.UseAppendMode = false;  // only a last "UseAppendMode: YES" line keeps it on
    const TNameList parts = SplitAtFirst(line, ":");
    if (parts.size() < 2)
        return;
    const std::string& key = parts[0];
    const std::string& value = parts[1];

    if (key == "MailFolder") {
        prefs.MailFolder = value;
    } else if (key == "QuoteString") {
        if (!value.empty() && (value.front() == '\'' || value.front() == '"')) {
            prefs.QuoteString = value.size() >= 2 ? value.substr(1, value.size() - 2) : "";
        } else {
            prefs.QuoteString = value;
        }
    } else if (key == "List2ndItem") {
        prefs.List2ndItem = UpperCaseAscii(value);
    } else if (key == "MailAddressOnly") {
        prefs.MailAddressOnly = UpperCaseAscii(value);
    } else if (key == "WindowLocation") {
        ApplyPair(value, window, &TPrefsWindow::SetLeft, &TPrefsWindow::SetTop);
    } else if (key == "WindowSize") {
        ApplyPair(value, window, &TPrefsWindow::SetWidth, &TPrefsWindow::SetHeight);
    } else if (key == "UseAppendMode") {
        if (UpperCaseAscii(value) == "YES")
            prefs.UseAppendMode = true;
    }
}

bool ReadPrefsFile(const std::filesystem::path& path, TPrefs& prefs, TPrefsWindow& window,
                   const std::function<void(const EAppError&)>& onBadLine) {
    if (!FileExists(path))
        return false;
    ReadTextLines(path, [&](const std::string& line) {
        try {
            ApplyPrefsLine(line, prefs, window);
        } catch (const EConvertError& e) {
            onBadLine(e);
        } catch (const EListError& e) {
            onBadLine(e);
        }
    });
    return true;
}

void ApplyPrefsDefaults(TPrefs& prefs) {
    if (prefs.QuoteString.empty())
        prefs.QuoteString = "> ";
    if (prefs.List2ndItem.empty())
        prefs.List2ndItem = "ADDRESS";
    if (prefs.MailAddressOnly.empty())
        prefs.MailAddressOnly = "YES";
}

std::string SecondColumnCaption(std::string_view list2ndItem) {
    if (list2ndItem == "ADDRESS")
        return "メールアドレス";
    if (list2ndItem == "MEMO")
        return "メモ";
    return {};
}

std::string BuildPrefsText(std::string_view mailFolder, std::string_view quoteString,
                           const TPrefs& prefs, const TBounds& bounds) {
    const std::string crlf = "\r\n";
    std::string text;
    text += "MailFolder: " + std::string(mailFolder) + crlf;
    text += "QuoteString: '" + std::string(quoteString) + "'" + crlf;
    text += "List2ndItem: " + prefs.List2ndItem + crlf;
    text += "MailAddressOnly: " + prefs.MailAddressOnly + crlf;
    text +=
        "WindowLocation: " + std::to_string(bounds.Left) + "," + std::to_string(bounds.Top) + crlf;
    text +=
        "WindowSize: " + std::to_string(bounds.Width) + "," + std::to_string(bounds.Height) + crlf;
    text += std::string("UseAppendMode: ") + (prefs.UseAppendMode ? "YES" : "NO") + crlf;
    return text;
}
