#include "ui/win32/Form2Window.h"

#include "core/Errors.h"
#include "ui/ErrorReport.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/Win32Form.h"
#include "ui/win32/Win32Util.h"

bool TForm2Window::RegisterClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(IDI_QUORVANTEL));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kForm2ClassW;
    return RegisterClassExW(&wc) != 0;
}

TForm2Window::TForm2Window(const TCard& propertyCard, HWND owner) : Form(*this, propertyCard) {
    design_ = ScaleForm(Form2Description(), ScreenDpi());
    const TFormDescription& design = design_;
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kForm2ClassW, Wide(design.Caption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, design.Bounds.Left,
                            design.Bounds.Top, design.Bounds.Width, design.Bounds.Height, owner,
                            nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr) {
        throw EAppError("プロパティのウインドウを作れません");
    }
    form_.Build(hwnd_, design);
    const char* boxes[] = {"NickName", "Address", "Tel", "Org", "OrgUnit", "Memo"};
    for (int i = 0; i < 6; ++i) {
        boxes_[i] = form_[boxes[i]];
    }
}

TForm2Window::~TForm2Window() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

LRESULT CALLBACK TForm2Window::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<TForm2Window*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<TForm2Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT TForm2Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_F2_BUTTON1 && HIWORD(wParam) == BN_CLICKED) {
                Guarded([this] { Form.Button1Click(); });
            } else if (LOWORD(wParam) == IDCANCEL) {
                Guarded([this] { Hide(); });
            }
            return 0;
        case WM_CLOSE:
            // Not the main window: closing only hides it.
            Guarded([this] { Hide(); });
            return 0;
        case WM_CTLCOLORSTATIC: {
            const HWND control = reinterpret_cast<HWND>(lParam);
            const int id = GetDlgCtrlID(control);
            const bool box = id >= IDC_F2_NICKNAME && id <= IDC_F2_MEMO;
            return StaticColor(reinterpret_cast<HDC>(wParam), box ? COLOR_MENU : COLOR_BTNFACE);
        }
        case WM_CTLCOLORBTN:
            return StaticColor(reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
        case WM_ACTIVATE:
            // The focus stays with the control that had it, as in a dialog.
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (IsChild(hwnd_, GetFocus())) {
                    focus_ = GetFocus();
                }
            } else {
                SetFocus(focus_ != nullptr && IsWindow(focus_) ? focus_ : boxes_[0]);
            }
            return 0;
        case WM_DESTROY:
            hwnd_ = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TForm2Window::SetCaption(const std::string& text) {
    SetWindowTextCp932(hwnd_, text);
}

void TForm2Window::SetBoxText(TPropertyBox box, const std::string& text) {
    SetWindowTextCp932(boxes_[static_cast<int>(box)], text);
}

void TForm2Window::ShowModeless() {
    if (IsIconic(hwnd_)) {
        ShowWindow(hwnd_, SW_RESTORE);
    }
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
    // Raised is not yet active: without its own activation and a control with
    // the keyboard focus the window stays inactive under a window manager.
    SetActiveWindow(hwnd_);
    if (!IsChild(hwnd_, GetFocus())) {
        SetFocus(focus_ != nullptr ? focus_ : boxes_[0]);
    }
}

void TForm2Window::Hide() {
    ShowWindow(hwnd_, SW_HIDE);
}
