#include "core/Errors.h"

#include <cerrno>
#include <cstdio>

namespace {

std::string FormatCode(int errorCode) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "I/O エラー (%d)", errorCode);
    return buf;
}

}  // namespace

std::string InOutErrorMessage(int errorCode) {
    switch (errorCode) {
        case 2:
            return "ファイルが見つかりません";
        case 3:
            return "不正なファイル名です";
        case 4:
            return "オープンしたファイルが多すぎます";
        case 5:
            return "ファイルへのアクセスが拒否されました";
        case 100:
            return "ファイルの末尾以降を読み込みました";
        case 101:
            return "ディスクがいっぱいです";
        case 106:
            return "入力値が数値ではありません";
        default:
            return FormatCode(errorCode);
    }
}

EInOutError::EInOutError(int errorCode)
    : EAppError(InOutErrorMessage(errorCode)), code_(errorCode) {}

EInOutError::EInOutError(int errorCode, const std::string& message)
    : EAppError(message), code_(errorCode) {}

namespace {

// 0 when no code has the same meaning.
int MappedCode(int err) {
    switch (err) {
        case ENOENT:
            return 2;
        case ENOTDIR:
        case ENAMETOOLONG:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EISDIR:
            return 5;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:  // no room left for this user
#endif
        case EFBIG:  // no room left for this process (RLIMIT_FSIZE)
            return 101;
        default:
            return 0;
    }
}

}  // namespace

int InOutCodeFromErrno(int err) {
    int code = MappedCode(err);
    return code ? code : err;
}

EInOutError InOutErrorFromErrno(int err) {
    int code = MappedCode(err);
    return code ? EInOutError(code) : EInOutError(err, FormatCode(err));
}

void ThrowInOutErrorFromErrno(int err) {
    throw InOutErrorFromErrno(err);
}

int InOutCodeFromWin32(unsigned long err) {
    constexpr unsigned long kHandleDiskFull = 39;  // ERROR_HANDLE_DISK_FULL
    constexpr unsigned long kDiskFull = 112;       // ERROR_DISK_FULL
    if (err == kHandleDiskFull || err == kDiskFull) {
        return 101;
    }
    return static_cast<int>(err);
}
