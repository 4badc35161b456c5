// Program entry: the COM apartment, the two windows and the message loop.
#include <windows.h>

#include <commctrl.h>

#include <filesystem>

#include "mailclient/ComApartment.h"
#include "mailclient/DesktopMailClient.h"
#include "mailclient/MailClientChoice.h"
#include "mailclient/OutlookApplication.h"
#include "mailclient/thunderbird/ThunderbirdMailClient.h"
#include "ui/ErrorReport.h"
#include "ui/win32/Form1Window.h"
#include "ui/win32/Form2Window.h"
#include "ui/win32/Win32Util.h"

namespace {

std::string ExeFileNameUtf8() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return "quorvantel.exe";
    }
    const std::u8string name = std::filesystem::path(path).filename().u8string();
    return std::string(name.begin(), name.end());
}

void InstallMessageBoxReporter() {
    static const std::wstring caption = WideFromUtf8(ApplicationTitle(ExeFileNameUtf8()));
    // The error texts are UTF-8: characters cp932 lacks (a system message in
    // another language, say) are shown as they are.
    SetErrorReporter([](const std::string& text) {
        MessageBoxW(GetActiveWindow(), WideFromUtf8(text).c_str(), caption.c_str(),
                    MB_ICONSTOP | MB_OK);
    });
}

// Tab and the dialog keys in either window; Ctrl+P while the list has the focus.
void RunMessageLoop(const TForm1Window& form) {
    MSG msg;
    // Wide throughout, so typed characters reach the boxes as UTF-16.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.Hwnd() != nullptr && GetFocus() == form.ListView() &&
            TranslateAcceleratorW(form.Hwnd(), form.ListAccelerators(), &msg)) {
            continue;
        }
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root != nullptr && IsDialogMessageW(root, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    // Entered before the windows, left last.
    const TComApartment comApartment;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    InstallMessageBoxReporter();
    if (!TForm1Window::RegisterClasses() || !TForm2Window::RegisterClass() ||
        !TWin32ProgressWindow::RegisterClass()) {
        return 1;
    }

    int result = 0;
    Guarded([&] {
        TForm1Window form;
        const auto desktop = [] {
            return std::make_unique<TDesktopMailClient>(OpenUrlWithShell, ShellUrlLimit());
        };
        // Outlook and the default mail app alone when the Thunderbird bridge can't start.
        form.Form.SetMailClient(
            ChooseMailClient(nullptr, std::make_unique<TOutlookApplication>(), desktop()));
        Guarded([&] {
            form.Form.SetMailClient(
                ChooseMailClient(std::make_unique<TThunderbirdMailClient>(form.EventLoop()),
                                 std::make_unique<TOutlookApplication>(), desktop()));
        });
        // The properties dialog: hidden until the first Properties command, gone with the window.
        TForm2Window form2(form.Form.PropertyCard, form.Hwnd());
        form.Form.Form2 = &form2.Form;
        ShowWindow(form.Hwnd(), showCommand);
        UpdateWindow(form.Hwnd());
        RunMessageLoop(form);
        form.Form.Form2 = nullptr;
    });
    return result;
}
