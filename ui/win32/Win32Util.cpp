#include "ui/win32/Win32Util.h"

#include <vector>

#include "core/Encoding.h"

HFONT UiFont(bool underline, int pixels) {
    static HFONT fonts[2][2] = {};
    HFONT& font = fonts[underline ? 1 : 0][pixels == 12 ? 0 : 1];
    if (font == nullptr) {
        const std::string face = Utf8ToCp932("ＭＳ Ｐゴシック");
        LOGFONTA lf{};
        lf.lfHeight = pixels == 12 ? -12 : -11;
        lf.lfWeight = FW_NORMAL;
        lf.lfUnderline = underline ? TRUE : FALSE;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = VARIABLE_PITCH | FF_MODERN;
        lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
        font = CreateFontIndirectA(&lf);
    }
    return font;
}

HWND MakeControl(HWND parent, const char* className, const std::string& text, DWORD style,
                 DWORD exStyle, int id, int left, int top, int width, int height) {
    HWND control =
        CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, left, top,
                        width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    return control;
}

void FitLabelToText(HWND label) {
    const std::string text = WindowTextA(label);
    HDC dc = GetDC(label);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitLabelBefore(HWND label, int nextLeft) {
    constexpr int kGap = 3;
    FitLabelToText(label);
    RECT r;
    GetWindowRect(label, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(label), reinterpret_cast<POINT*>(&r), 2);
    if (r.right <= nextLeft - kGap)
        return;
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont(false, 11)), TRUE);
    FitLabelToText(label);
}

HWND MakeLabel(HWND parent, const std::string& text, int id, int left, int top) {
    HWND label = MakeControl(parent, "STATIC", text, SS_LEFT | SS_NOPREFIX, 0, id, left, top, 1, 1);
    FitLabelToText(label);
    return label;
}

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
