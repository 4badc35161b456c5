// Error types that reach the common error report. Messages are UTF-8.
#pragma once

#include <stdexcept>
#include <string>

// Base of every error this program raises on purpose.
class EAppError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An input/output error of a text file, with the operating system's code
// translated to the classic DOS/Windows numbers (2 not found, 5 denied, ...).
class EInOutError : public EAppError {
  public:
    explicit EInOutError(int errorCode);
    EInOutError(int errorCode, const std::string& message);
    int ErrorCode() const { return code_; }

  private:
    int code_;
};

// "'%s' は整数ではありません"
class EConvertError : public EAppError {
  public:
    using EAppError::EAppError;
};

// "リストのインデックスが範囲を超えています (%d)"
class EListError : public EAppError {
  public:
    using EAppError::EAppError;
};

// The words for an input/output error code.
std::string InOutErrorMessage(int errorCode);

// Maps an errno value onto the input/output error codes; unknown values pass through.
int InOutCodeFromErrno(int err);

// The error for an errno value. One without a code of the same meaning keeps
// its number and gets the generic words, even where the number collides with
// a code that has words of its own (EIO is 5 on Linux, not "access denied").
EInOutError InOutErrorFromErrno(int err);

// Throws InOutErrorFromErrno(err). Use this rather than EInOutError(errno).
[[noreturn]] void ThrowInOutErrorFromErrno(int err);

// A Windows error code (GetLastError) as an input/output error code: the codes
// are the same numbers, except that both "disk full" codes become 101.
int InOutCodeFromWin32(unsigned long err);
