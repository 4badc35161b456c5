#include "ui/win32/Win32DirDialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "core/Encoding.h"
#include "core/Errors.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"
#include "ui/win32/Win32Util.h"

namespace {

HWND Hwnd(TWindowHandle handle) {
    return reinterpret_cast<HWND>(handle);
}

// Centred across the owner's monitor, a third of the free height above.
void PlaceOverOwner(HWND dialog, HWND owner) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST),
                         &info)) {
        return;
    }
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
        const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        SetWindowLongPtrW(hook, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
        return 0;
    }
    if (message != WM_NOTIFY) {
        return 0;
    }
    auto* dialog = reinterpret_cast<TDirDialog*>(GetWindowLongPtrW(hook, GWLP_USERDATA));
    if (dialog == nullptr) {
        return 0;
    }
    const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
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
    std::vector<wchar_t> file(4096, L'\0');
    const std::wstring initial = Wide(dialog.FileName());
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));
    // "*.*|*.*": one entry, description and pattern.
    static const wchar_t filter[] = L"*.*\0*.*\0";
    const std::wstring title = Wide(dialog.Title());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.hInstance = GetModuleHandleW(nullptr);
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    ofn.lpfnHook = Hook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&dialog);
    if (!GetOpenFileNameW(&ofn)) {
        return false;
    }
    const std::wstring chosen(file.data());
    // The rule of the chosen folder works on cp932 bytes; a folder that has no
    // cp932 form could only be stored, and read, as another path.
    if (!IsCp932Representable(Utf8FromWide(chosen))) {
        const size_t cut = chosen.find_last_of(L"\\:");
        const std::string folder =
            Utf8FromWide(cut == std::wstring::npos ? chosen : chosen.substr(0, cut));
        if (!IsCp932Representable(folder)) {
            throw EAppError(FolderNotCp932Message(folder));
        }
    }
    dialog.SetFileName(Cp932(chosen));
    return true;
}

std::string TWin32DirDialogPlatform::ExecutablePath() const {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return Cp932(std::wstring_view(buffer.data(), n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool TWin32DirDialogPlatform::IsExistingDirectory(const std::string& path) const {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TWindowHandle TWin32DirDialogPlatform::FindDialogWindow(const std::string& title) {
    return reinterpret_cast<TWindowHandle>(FindWindowW(L"#32770", Wide(title).c_str()));
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
    wchar_t buffer[256];
    const int n = GetClassNameW(Hwnd(window), buffer, 255);
    return n > 0 ? Cp932(std::wstring_view(buffer, static_cast<size_t>(n))) : std::string();
}

std::string TWin32DirDialogPlatform::WindowText(TWindowHandle window) {
    wchar_t buffer[256];
    const int n = GetWindowTextW(Hwnd(window), buffer, 255);
    return n > 0 ? Cp932(std::wstring_view(buffer, static_cast<size_t>(n))) : std::string();
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
        wchar_t name[32] = {};
        if (parent == nullptr || GetClassNameW(parent, name, 32) == 0 ||
            (lstrcmpW(name, L"ComboBox") != 0 && lstrcmpW(name, WC_COMBOBOXEXW) != 0)) {
            break;
        }
    }
}

void TWin32DirDialogPlatform::SetWindowText(TWindowHandle window, const std::string& text) {
    ::SetWindowTextW(Hwnd(window), Wide(text).c_str());
}
