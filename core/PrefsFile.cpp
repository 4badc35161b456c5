#include "core/PrefsFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "core/Encoding.h"
#include "core/Utils.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::wstring target = path.wstring();
    // A file that may not be written (read-only, or open in a program that
    // denies writers) stays, as it would for an open to write it: a rename
    // alone would replace it, under Wine even when it is read-only. The
    // attribute is asked for itself, since an administrator may open it.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        throw EInOutError(InOutCodeFromWin32(ERROR_ACCESS_DENIED));
    HANDLE old = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (old != INVALID_HANDLE_VALUE) {
        CloseHandle(old);
    } else if (const DWORD err = GetLastError(); err != ERROR_FILE_NOT_FOUND) {
        throw EInOutError(InOutCodeFromWin32(err));
    }
    const std::wstring temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw EInOutError(InOutCodeFromWin32(GetLastError()));

    DWORD err = 0;
    size_t done = 0;
    while (err == 0 && done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
            err = GetLastError();
        } else if (written == 0) {
            err = ERROR_DISK_FULL;
        }
        done += written;
    }
    if (err == 0 && !FlushFileBuffers(file))
        err = GetLastError();
    CloseHandle(file);
    if (err == 0 && !MoveFileExW(temp.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        err = GetLastError();
    }
    if (err != 0) {
        DeleteFileW(temp.c_str());
        throw EInOutError(InOutCodeFromWin32(err));
    }
}

#else

namespace {

// Mode for a new file: what open(2) would give with 0666.
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    // A symbolic link keeps pointing where it did: the file it names is replaced.
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec)
            target = resolved;
    }

    // A rename would replace a file that may not be written (read-only, or
    // another user's); it stays, as it would for an open to write it.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        ThrowInOutErrorFromErrno(errno);

    std::string temp = target.native() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        ThrowInOutErrorFromErrno(errno);

    struct stat old {};
    fchmod(fd, stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode());

    int err = 0;
    size_t done = 0;
    while (err == 0 && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno != EINTR)
                err = errno;
        } else if (n == 0) {
            err = ENOSPC;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (err == 0 && fsync(fd) != 0)
        err = errno;
    if (close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && rename(temp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        unlink(temp.c_str());
        ThrowInOutErrorFromErrno(err);
    }

    // Make the rename itself durable.
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}

#endif
