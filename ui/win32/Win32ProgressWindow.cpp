#include "ui/win32/Win32ProgressWindow.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/Encoding.h"
#include "ui/ErrorReport.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/Win32Util.h"

namespace {

constexpr wchar_t kForm3Class[] = L"TForm3";
constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

std::wstring Wide(const std::string& cp932) {
    const std::u16string text = Cp932ToUtf16(cp932);
    return std::wstring(text.begin(), text.end());
}

}  // namespace

bool TWin32ProgressWindow::RegisterClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kForm3Class;
    return RegisterClassExW(&wc) != 0;
}

TWin32ProgressWindow::TWin32ProgressWindow(HWND owner, std::function<void()> cancel)
    : owner_(owner), cancel_(std::move(cancel)) {
    hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kForm3Class, L"",
                            WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 240, 90, owner, nullptr,
                            GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr) {
        return;
    }
    Label1 = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                             0, 0, hwnd_, reinterpret_cast<HMENU>(IDC_PROGRESS_LABEL),
                             GetModuleHandleW(nullptr), nullptr);
    B_CANCEL = CreateWindowExW(
        0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(IDC_PROGRESS_CANCEL), GetModuleHandleW(nullptr), nullptr);
    for (HWND control : {Label1, B_CANCEL}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    }
}

TWin32ProgressWindow::~TWin32ProgressWindow() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void TWin32ProgressWindow::ShowProgress(const std::string& caption, const std::string& text,
                                        const std::string& button) {
    if (hwnd_ == nullptr) {
        return;
    }
    SetWindowTextW(hwnd_, Wide(caption).c_str());
    const std::wstring line = Wide(text);
    SetWindowTextW(Label1, line.c_str());
    SetWindowTextW(B_CANCEL, Wide(button).c_str());
    ShowWindow(B_CANCEL, button.empty() ? SW_HIDE : SW_SHOW);
    HDC dc = GetDC(Label1);
    const HGDIOBJ old = SelectObject(dc, UiFont());
    SIZE size{};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(Label1, dc);
    // Never narrower while it is shown: the seconds must not make it jump.
    const bool wasVisible = ProgressVisible();
    textWidth_ = wasVisible ? std::max<int>(textWidth_, size.cx) : size.cx;
    Layout();
    if (!wasVisible) {
        // Over the middle of the main window.
        RECT owner{}, self{};
        GetWindowRect(owner_, &owner);
        GetWindowRect(hwnd_, &self);
        const int w = self.right - self.left, h = self.bottom - self.top;
        SetWindowPos(hwnd_, HWND_TOP, (owner.left + owner.right - w) / 2,
                     (owner.top + owner.bottom - h) / 2, 0, 0, SWP_NOSIZE);
        ShowWindow(hwnd_, SW_SHOW);
    }
}

void TWin32ProgressWindow::Layout() {
    const int clientWidth = std::max(textWidth_, kButtonWidth) + 2 * kMargin;
    const int textHeight = 16;
    const bool button = (GetWindowLongPtrW(B_CANCEL, GWL_STYLE) & WS_VISIBLE) != 0;
    const int clientHeight = kMargin + textHeight + (button ? 10 + kButtonHeight : 0) + kMargin;
    MoveWindow(Label1, kMargin, kMargin, textWidth_ + 2, textHeight, TRUE);
    MoveWindow(B_CANCEL, (clientWidth - kButtonWidth) / 2, kMargin + textHeight + 10, kButtonWidth,
               kButtonHeight, TRUE);
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32ProgressWindow::HideProgress() {
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

bool TWin32ProgressWindow::ProgressVisible() const {
    return hwnd_ != nullptr && IsWindowVisible(hwnd_);
}

LRESULT CALLBACK TWin32ProgressWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TWin32ProgressWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        // The button and the close box stop waiting; the window goes when the hand-off ends.
        if ((message == WM_COMMAND && LOWORD(wParam) == IDC_PROGRESS_CANCEL) ||
            message == WM_CLOSE) {
            Guarded(self->cancel_);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
