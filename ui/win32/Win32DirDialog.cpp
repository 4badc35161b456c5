#include "ui/win32/Win32DirDialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "ui/ErrorReport.h"

namespace {

HWND Hwnd(TWindowHandle handle) {
    return reinterpret_cast<HWND>(handle);
}

// Centred across the owner's monitor, a third of the free height above.
void PlaceOverOwner(HWND dialog, HWND owner) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST),
                         &info))
        return;
    RECT r;
    GetWindowRect(dialog, &r);
    const RECT& area = info.rcWork;
    const int width = r.right - r.left, height = r.bottom - r.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + std::max(0L, (area.bottom - area.top - height) / 3);
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK Hook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        SetWindowLongPtrA(hook, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
        return 0;
    }
    if (message != WM_NOTIFY)
        return 0;
    auto* dialog = reinterpret_cast<TDirDialog*>(GetWindowLongPtrA(hook, GWLP_USERDATA));
    if (dialog == nullptr)
        return 0;
    const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
    switch (notify->hdr.code) {
        case CDN_INITDONE:
            Guarded([&] {
                PlaceOverOwner(GetParent(hook), GetWindow(GetParent(hook), GW_OWNER));
                dialog->DialogShown();
            });
            break;
        case CDN_FOLDERCHANGE:
            Guarded([&] { dialog->FolderChanged(); });
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace

bool TWin32DirDialogPlatform::Run(TDirDialog& dialog) {
    std::vector<char> file(4096, '\0');
    const std::string& initial = dialog.FileName();
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
    // "*.*|*.*": one entry, description and pattern.
    static const char filter[] = "*.*\0*.*\0";
    const std::string title = dialog.Title();

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.hInstance = GetModuleHandleA(nullptr);
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    ofn.lpfnHook = Hook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&dialog);
    if (!GetOpenFileNameA(&ofn))
        return false;
    dialog.SetFileName(std::string(file.data()));
    return true;
}

std::string TWin32DirDialogPlatform::ExecutablePath() const {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

bool TWin32DirDialogPlatform::IsExistingDirectory(const std::string& path) const {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TWindowHandle TWin32DirDialogPlatform::FindDialogWindow(const std::string& title) {
    return reinterpret_cast<TWindowHandle>(FindWindowA("#32770", title.c_str()));
}

void TWin32DirDialogPlatform::EnumChildWindows(TWindowHandle parent,
                                               const std::function<bool(TWindowHandle)>& visit) {
    ::EnumChildWindows(
        Hwnd(parent),
        [](HWND child, LPARAM data) -> BOOL {
            const auto& f = *reinterpret_cast<const std::function<bool(TWindowHandle)>*>(data);
            return f(reinterpret_cast<TWindowHandle>(child)) ? TRUE : FALSE;
        },
        reinterpret_cast<LPARAM>(&visit));
}

std::string TWin32DirDialogPlatform::ClassName(TWindowHandle window) {
    char buffer[256];
    const int n = GetClassNameA(Hwnd(window), buffer, 255);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string TWin32DirDialogPlatform::WindowText(TWindowHandle window) {
    char buffer[256];
    const int n = GetWindowTextA(Hwnd(window), buffer, 255);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

bool TWin32DirDialogPlatform::IsWindow(TWindowHandle window) {
    return window != 0 && ::IsWindow(Hwnd(window));
}

void TWin32DirDialogPlatform::HideWindow(TWindowHandle window) {
    // The file name box of the dialog since Windows 2000 (and Wine's) is a
    // combo box whose edit field is the "Edit" that the search finds: hiding
    // the field alone would leave the box standing, text and all.
    for (HWND w = Hwnd(window); w != nullptr; w = GetParent(w)) {
        ShowWindow(w, SW_HIDE);
        const HWND parent = GetParent(w);
        char name[32] = {};
        if (parent == nullptr || GetClassNameA(parent, name, sizeof name) == 0 ||
            (lstrcmpA(name, "ComboBox") != 0 && lstrcmpA(name, WC_COMBOBOXEXA) != 0))
            break;
    }
}

void TWin32DirDialogPlatform::SetWindowText(TWindowHandle window, const std::string& text) {
    ::SetWindowTextA(Hwnd(window), text.c_str());
}
