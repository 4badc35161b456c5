#include "ui/win32/Win32Util.h"

#include <vector>

std::string WindowTextA(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextA(window, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

LRESULT StaticColor(HDC dc, int sysColor) {
    SetBkColor(dc, GetSysColor(sysColor));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(sysColor));
}

bool IsForwardedMessage(UINT message) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CONTEXTMENU:
            return true;
        default:
            return false;
    }
}

LRESULT ForwardToRoot(HWND from, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetAncestor(from, GA_ROOT), message, wParam, lParam);
}
