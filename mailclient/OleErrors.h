// Errors of the mail-client automation and the words the user sees for them.
// Status codes are HRESULT values held as 32-bit integers, so this header needs
// no platform headers. Messages are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Errors.h"

inline constexpr int32_t kDispException = static_cast<int32_t>(0x80020009u);  // DISP_E_EXCEPTION

// Error information as a server or the thread's error object gives it (UTF-8).
struct TOleErrorInfo {
    std::string Description;
    std::string Source;
    std::string HelpFile;
    uint32_t HelpContext = 0;
};

// An interface query that failed: "Interface はサポートされていません".
class EIntfCastError : public EAppError {
  public:
    EIntfCastError();
};

class EOleError : public EAppError {
  public:
    using EAppError::EAppError;
};

// A failure status without a description of its own.
class EOleSysError : public EOleError {
  public:
    explicit EOleSysError(int32_t status);
    int32_t ErrorCode() const { return status_; }

  protected:
    EOleSysError(int32_t status, std::string_view description);

  private:
    int32_t status_;
};

// A failure status with the server's error information.
class EOleException : public EOleSysError {
  public:
    EOleException(int32_t status, TOleErrorInfo info);
    const std::string& Description() const { return info_.Description; }
    const std::string& Source() const { return info_.Source; }
    const std::string& HelpFile() const { return info_.HelpFile; }
    uint32_t HelpContext() const { return info_.HelpContext; }

  private:
    TOleErrorInfo info_;
};

// Text with its trailing characters of code 32 or less and trailing "." removed.
std::string TrimOleText(std::string_view text);

// The message of an error: the trimmed description; else the trimmed system
// text for the status; else "OLE エラー XXXXXXXX".
std::string OleErrorMessage(std::string_view description, int32_t status,
                            std::string_view systemText);

// The operating system's message text for a status; empty where there is none.
std::string OleSystemMessage(int32_t status);

// A failed dispatch call: DISP_E_EXCEPTION gives EOleException with the
// exception information's own code, any other status EOleSysError.
[[noreturn]] void ThrowDispatchError(int32_t status, int32_t excepCode, TOleErrorInfo excepInfo);
