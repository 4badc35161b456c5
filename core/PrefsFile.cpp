#include "core/PrefsFile.h"

#include "core/Files.h"
#include "core/Utils.h"

namespace {

// The two numbers of a "WindowLocation" or "WindowSize" value, each handed on
// as soon as it converts.
void ApplyPair(const std::string& value, TPrefsWindow& window, void (TPrefsWindow::*first)(int),
               void (TPrefsWindow::*second)(int)) {
    const TNameList parts = SplitAtFirst(value, ",");
    if (parts.size() < 2) {
        throw EListError("リストのインデックスが範囲を超えています (0)");
    }
    (window.*first)(StrToInt(parts[0]));
    (window.*second)(StrToInt(parts[1]));
}

}  // namespace

std::filesystem::path ChoosePrefsPath(const std::filesystem::path& exeDir, bool exeDirWritable,
                                      const std::filesystem::path& userConfigDir) {
    const std::filesystem::path beside = exeDir / kPrefsFileName;
    if (exeDirWritable || FileExists(beside) || userConfigDir.empty()) {
        return beside;
    }
    return userConfigDir / "quorvantel" / kPrefsFileName;
}

void ApplyPrefsLine(const std::string& line, TPrefs& prefs, TPrefsWindow& window) {
    prefs.UseAppendMode = false;  // only a last "UseAppendMode: YES" line keeps it on
    const TNameList parts = SplitAtFirst(line, ":");
    if (parts.size() < 2) {
        return;
    }
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
        if (UpperCaseAscii(value) == "YES") {
            prefs.UseAppendMode = true;
        }
    }
}

bool ReadPrefsFile(const std::filesystem::path& path, TPrefs& prefs, TPrefsWindow& window,
                   const std::function<void(const EAppError&)>& onBadLine) {
    if (!FileExists(path)) {
        return false;
    }
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
    if (prefs.QuoteString.empty()) {
        prefs.QuoteString = "> ";
    }
    if (prefs.List2ndItem.empty()) {
        prefs.List2ndItem = "ADDRESS";
    }
    if (prefs.MailAddressOnly.empty()) {
        prefs.MailAddressOnly = "YES";
    }
}

std::string SecondColumnCaption(std::string_view list2ndItem) {
    if (list2ndItem == "ADDRESS") {
        return "メールアドレス";
    }
    if (list2ndItem == "MEMO") {
        return "メモ";
    }
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
