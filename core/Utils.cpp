#include "core/Utils.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/Encoding.h"
#include "core/Errors.h"

#ifdef _WIN32
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
    for (const char c : Cp932ToUtf8(text)) {
        shown += c == '\0' ? std::string("\uFFFD") : std::string(1, c);
    }
    throw EConvertError("'" + shown + "' は整数ではありません");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

TNameList SplitAtFirst(std::string_view text, std::string_view separator) {
    if (text.empty() || separator.empty()) {
        return {};
    }
    size_t pos = text.find(separator);
    if (pos == std::string_view::npos) {
        return {};
    }
    return {TrimBlanks(text.substr(0, pos)), TrimBlanks(text.substr(pos + separator.size()))};
}

TNameList SplitLines(std::string_view text) {
    TNameList lines;
    size_t start = 0;
    while (true) {
        size_t pos = text.find("\r\n", start);
        if (pos == std::string_view::npos) {
            break;
        }
        lines.emplace_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

std::string_view TrimmedView(std::string_view text, std::string_view chars) {
    const size_t end = text.find_last_not_of(chars);
    if (end == std::string_view::npos) {
        return text.substr(text.size());
    }
    const size_t begin = text.find_first_not_of(chars);
    return text.substr(begin, end + 1 - begin);
}

std::string TrimBlanks(std::string_view text) {
    return std::string(TrimmedView(text));
}

std::string TrimCommas(std::string_view text) {
    return std::string(TrimmedView(text, ","));
}

int32_t StrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i == text.size()) {
        ThrowNotInteger(text);
    }

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
        if (i == text.size()) {
            ThrowNotInteger(text);
        }
        uint32_t value = 0;
        int significant = 0;
        for (; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0) {
                ThrowNotInteger(text);
            }
            if (value != 0 || digit != 0) {
                ++significant;
            }
            if (significant > 8) {
                ThrowNotInteger(text);
            }
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        return static_cast<int32_t>(value);
    }

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        ThrowNotInteger(text);
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            ThrowNotInteger(text);
        }
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) {
            ThrowNotInteger(text);
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT32_MAX) {
        ThrowNotInteger(text);
    }
    return static_cast<int32_t>(value);
}

std::string UpperCaseAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

namespace {

#ifdef _WIN32
// Opened as an existing file that others may read but not write while it is
// open. Errors keep the Windows codes: 3 for a missing folder, 32 for a file
// that another program holds open for writing.
class InputFile {
  public:
    explicit InputFile(const std::filesystem::path& path)
        : h_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
        if (h_ == INVALID_HANDLE_VALUE) {
            throw EInOutError(InOutCodeFromWin32(GetLastError()));
        }
    }
    ~InputFile() { CloseHandle(h_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Bytes read; 0 at end of file.
    size_t Read(char* buf, size_t size) {
        DWORD n = 0;
        if (!ReadFile(h_, buf, static_cast<DWORD>(size), &n, nullptr)) {
            throw EInOutError(InOutCodeFromWin32(GetLastError()));
        }
        return n;
    }

  private:
    HANDLE h_;
};
#else
class InputFile {
  public:
    // The caller has seen a regular file here, but it may have been swapped
    // since: a FIFO must not block the open, and nothing but a regular file is
    // read (a device could go on forever). Such a file is refused as Windows
    // refuses to open a directory.
    explicit InputFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        if (fd_ < 0) {
            ThrowInOutErrorFromErrno(errno);
        }
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd_);
            ThrowInOutErrorFromErrno(EACCES);
        }
    }
    ~InputFile() { ::close(fd_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Bytes read; 0 at end of file.
    size_t Read(char* buf, size_t size) {
        while (true) {
            ssize_t n = ::read(fd_, buf, size);
            if (n >= 0) {
                return static_cast<size_t>(n);
            }
            if (errno != EINTR) {
                ThrowInOutErrorFromErrno(errno);
            }
        }
    }

  private:
    int fd_;
};
#endif

}  // namespace

void ReadTextLines(const std::filesystem::path& path,
                   const std::function<void(const std::string&)>& onLine) {
    std::string copy;
    ForEachTextLine(path, [&](std::string_view line) {
        copy.assign(line);
        onLine(copy);
    });
}

void ForEachTextLine(const std::filesystem::path& path,
                     const std::function<void(std::string_view)>& onLine) {
    InputFile file(path);
    constexpr size_t kBufSize = 64 * 1024;
    std::unique_ptr<char[]> buf(new char[kBufSize]);
    std::string line;
    bool inLine = false;  // false: skipping bytes <= 32 before a line
    while (true) {
        size_t n = file.Read(buf.get(), kBufSize);
        if (n == 0) {
            break;
        }
        const char* p = buf.get();
        // Byte 26 ends the file: nothing after it is read.
        const char* eof = static_cast<const char*>(std::memchr(p, 26, n));
        const char* limit = eof ? eof : p + n;
        while (p < limit) {
            if (!inLine) {
                while (p < limit && static_cast<unsigned char>(*p) <= 32) {
                    ++p;
                }
                if (p == limit) {
                    break;
                }
                inLine = true;
            }
            // The LF after a CR is skipped with the leading bytes of the next line.
            const char* stop =
                static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(limit - p)));
            if (!stop) {
                line.append(p, limit);
                break;
            }
            if (line.empty()) {
                onLine(std::string_view(p, static_cast<size_t>(stop - p)));
            } else {
                line.append(p, stop);
                onLine(line);
                line.clear();
            }
            inLine = false;
            p = stop + 1;
        }
        if (eof) {
            break;
        }
    }
    if (inLine) {
        onLine(line);
    }
}

std::string GroupDigits(size_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}
