#include "ui/win32/Win32Util.h"

#include <shellapi.h>

#include <vector>

#include "core/Encoding.h"
#include "core/TextUtf.h"
#include "mailclient/DesktopMailClient.h"
#include "ui/win32/Win32Font.h"

std::wstring Wide(std::string_view cp932) {
    const std::u16string u = Cp932ToUtf16(cp932);
    return std::wstring(u.begin(), u.end());
}

std::string Cp932(std::wstring_view wide) {
    return Utf16ToCp932(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::wstring WideFromUtf8(std::string_view utf8) {
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string Utf8FromWide(std::wstring_view wide) {
    return Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

HFONT UiFont(bool underline, int pixels) {
    HDC dc = GetDC(nullptr);
    HFONT font = FormFont(dc, pixels, underline);
    ReleaseDC(nullptr, dc);
    return font;
}

HWND MakeControl(HWND parent, const char* className, const std::string& text, DWORD style,
                 DWORD exStyle, int id, int left, int top, int width, int height) {
    const std::wstring wideClass(className, className + std::char_traits<char>::length(className));
    HWND control = CreateWindowExW(exStyle, wideClass.c_str(), Wide(text).c_str(),
                                   WS_CHILD | WS_VISIBLE | style, left, top, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    FitControlText(control);
    return control;
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

void FitControlText(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    if (lstrcmpiW(name, L"Button") != 0) {
        return;  // labels size themselves, edit boxes hold data
    }
    // At the pixel height of the font it has (the form's, scaled for the screen).
    int pixels = 12;
    LOGFONTW current{};
    if (HFONT has = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        has != nullptr && GetObjectW(has, sizeof current, &current) == sizeof current &&
        current.lfHeight != 0) {
        pixels = current.lfHeight < 0 ? -current.lfHeight : current.lfHeight;
    }
    const std::wstring text = WindowTextW(control);
    HDC dc = GetDC(control);
    HFONT font = FitFormFont(dc, text, TextRoom(control), pixels);
    ReleaseDC(control, dc);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void FitLabelToText(HWND label) {
    const std::wstring text = WindowTextW(label);
    HDC dc = GetDC(label);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitLabelBefore(HWND label, int nextLeft) {
    constexpr int kGap = 3;
    RECT r;
    GetWindowRect(label, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(label), reinterpret_cast<POINT*>(&r), 2);
    const std::wstring text = WindowTextW(label);
    HDC dc = GetDC(label);
    HFONT font = FitFormFont(dc, text, nextLeft - kGap - r.left, 12);
    ReleaseDC(label, dc);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    FitLabelToText(label);
}

HWND MakeLabel(HWND parent, const std::string& text, int id, int left, int top) {
    HWND label = MakeControl(parent, "STATIC", text, SS_LEFT | SS_NOPREFIX, 0, id, left, top, 1, 1);
    FitLabelToText(label);
    return label;
}

std::wstring WindowTextW(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

std::string WindowTextA(HWND window) {
    return Cp932(WindowTextW(window));
}

void SetWindowTextCp932(HWND window, std::string_view cp932) {
    SetWindowTextW(window, Wide(cp932).c_str());
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
    return SendMessageW(GetAncestor(from, GA_ROOT), message, wParam, lParam);
}

bool OpenUrlWithShell(const std::string& url) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", WideFromUtf8(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

size_t ShellUrlLimit() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    return wine ? TDesktopMailClient::kWineShellExecuteLimit
                : TDesktopMailClient::kShellExecuteLimit;
}
