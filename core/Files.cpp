#include "core/Files.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "core/Errors.h"

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

bool FileExists(const std::filesystem::path& path) {
    std::error_code ec;
    // Only regular files: a directory, a pipe or a device is no address-book file.
    return std::filesystem::is_regular_file(path, ec);
}

bool DirectoryExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool CanCreateFileIn(const std::filesystem::path& dir) {
    const std::filesystem::path probe = dir / ".quorvantel-write-test";
#ifdef _WIN32
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
#else
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
#endif
}

#ifdef _WIN32

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::wstring target = path.wstring();
    // A file that may not be written (read-only, or open in a program that
    // denies writers) stays, as it would for an open to write it: a rename
    // alone would replace it, under Wine even when it is read-only. The
    // attribute is asked for itself, since an administrator may open it.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throw EInOutError(InOutCodeFromWin32(ERROR_ACCESS_DENIED));
    }
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
    if (file == INVALID_HANDLE_VALUE) {
        throw EInOutError(InOutCodeFromWin32(GetLastError()));
    }

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
    if (err == 0 && !FlushFileBuffers(file)) {
        err = GetLastError();
    }
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
        if (!ec) {
            target = resolved;
        }
    }

    // A rename would replace a file that may not be written (read-only, or
    // another user's); it stays, as it would for an open to write it.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        ThrowInOutErrorFromErrno(errno);
    }

    std::string temp = target.native() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        ThrowInOutErrorFromErrno(errno);
    }

    struct stat old {};
    fchmod(fd, stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode());

    int err = 0;
    size_t done = 0;
    while (err == 0 && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno != EINTR) {
                err = errno;
            }
        } else if (n == 0) {
            err = ENOSPC;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (err == 0 && fsync(fd) != 0) {
        err = errno;
    }
    if (close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
    }
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
