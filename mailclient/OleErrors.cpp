#include "mailclient/OleErrors.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "core/TextUtf.h"
#endif

EIntfCastError::EIntfCastError() : EAppError("Interface はサポートされていません") {}

EOleSysError::EOleSysError(int32_t status) : EOleSysError(status, std::string_view{}) {}

EOleSysError::EOleSysError(int32_t status, std::string_view description)
    : EOleError(OleErrorMessage(description, status, OleSystemMessage(status))), status_(status) {}

EOleException::EOleException(int32_t status, TOleErrorInfo info)
    : EOleSysError(status, info.Description), info_(std::move(info)) {}

std::string TrimOleText(std::string_view text) {
    // Byte-wise is safe on UTF-8: every byte of a multi-byte character is >= 0x80.
    size_t n = text.size();
    while (n > 0 && (static_cast<unsigned char>(text[n - 1]) <= 32 || text[n - 1] == '.')) {
        --n;
    }
    return std::string(text.substr(0, n));
}

std::string OleErrorMessage(std::string_view description, int32_t status,
                            std::string_view systemText) {
    std::string message = TrimOleText(description);
    if (message.empty()) {
        message = TrimOleText(systemText);
    }
    if (message.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%.8X",
                      static_cast<unsigned>(static_cast<uint32_t>(status)));
        message = std::string("OLE エラー ") + hex;
    }
    return message;
}

std::string OleSystemMessage(int32_t status) {
#ifdef _WIN32
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        text = Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), length));
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    return text;
#else
    (void)status;
    return {};
#endif
}

void ThrowDispatchError(int32_t status, int32_t excepCode, TOleErrorInfo excepInfo) {
    if (status == kDispException) {
        throw EOleException(excepCode, std::move(excepInfo));
    }
    throw EOleSysError(status);
}
