#include "ui/win32/Form2Window.h"

#include "core/Errors.h"
#include "ui/ErrorReport.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/Win32Form.h"
#include "ui/win32/Win32Util.h"

bool TForm2Window::RegisterClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(IDI_QUORVANTEL));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kForm2Class;
    return RegisterClassExA(&wc) != 0;
}

TForm2Window::TForm2Window(const TCard& propertyCard, HWND owner) : Form(*this, propertyCard) {
    const TFormDescription& design = Form2Description();
    const std::wstring className(kForm2Class, kForm2Class + sizeof kForm2Class - 1);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, className.c_str(), Wide(design.Caption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, design.Bounds.Left,
                            design.Bounds.Top, design.Bounds.Width, design.Bounds.Height, owner,
                            nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr)
        throw EAppError("プロパティのウインドウを作れません");
    form_.Build(hwnd_, design);
    const char* boxes[] = {"NickName", "Address", "Tel", "Org", "OrgUnit", "Memo"};
    for (int i = 0; i < 6; ++i)
        boxes_[i] = form_[boxes[i]];
}

TForm2Window::~TForm2Window() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

LRESULT CALLBACK TForm2Window::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<TForm2Window*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<TForm2Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT TForm2Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_F2_BUTTON1 && HIWORD(wParam) == BN_CLICKED)
                Guarded([this] { Form.Button1Click(); });
            else if (LOWORD(wParam) == IDCANCEL)
                Guarded([this] { Hide(); });
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
        case WM_DESTROY:
            hwnd_ = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void TForm2Window::SetCaption(const std::string& text) {
    SetWindowTextA(hwnd_, text.c_str());
}

void TForm2Window::SetBoxText(TPropertyBox box, const std::string& text) {
    SetWindowTextA(boxes_[static_cast<int>(box)], text.c_str());
}

void TForm2Window::ShowModeless() {
    if (IsIconic(hwnd_))
        ShowWindow(hwnd_, SW_RESTORE);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
}

void TForm2Window::Hide() {
    ShowWindow(hwnd_, SW_HIDE);
}
