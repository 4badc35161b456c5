#include "ui/win32/Form1Window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "core/Encoding.h"
#include "core/Errors.h"
#include "ui/Clipboard.h"
#include "ui/ErrorReport.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/Win32Form.h"
#include "ui/win32/Win32Util.h"

namespace {

TBounds ToBounds(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Bounds of a child inside its parent's client area.
RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsForwardedMessage(message)) {
        return ForwardToRoot(hwnd, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Another program may hold the clipboard for a moment.
bool OpenClipboardBriefly(HWND owner) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (OpenClipboard(owner)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

}  // namespace

bool TForm1Window::RegisterClasses() {
    // Wide classes: the windows keep their texts in UTF-16, whatever the
    // system's ANSI code page.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(IDI_QUORVANTEL));
    wc.hIconSm = static_cast<HICON>(
        LoadImageW(wc.hInstance, MAKEINTRESOURCEW(IDI_QUORVANTEL), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kForm1ClassW;
    if (!RegisterClassExW(&wc)) {
        return false;
    }
    WNDCLASSEXW panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = wc.hInstance;
    panel.hCursor = wc.hCursor;
    panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panel.lpszClassName = kPanelClassW;
    return RegisterClassExW(&panel) != 0;
}

TForm1Window::TForm1Window()
    : design_(ScaleForm(Form1Description(), ScreenDpi())), Form(*this, design_) {
    const TFormDescription& design = Form.Design();
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kForm1ClassW, Wide(design.Caption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, design.Bounds.Left,
                            design.Bounds.Top, design.Bounds.Width, design.Bounds.Height, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr) {
        throw EAppError("メインウインドウを作れません");
    }
    folderChooser_.SetOwner(hwnd_);
    CreateControls();
    progress_ =
        std::make_unique<TWin32ProgressWindow>(hwnd_, [this] { Form.ProgressCancelClick(); });
    ready_ = true;
    Guarded([this] { Form.FormCreate(); });
}

TForm1Window::~TForm1Window() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (ImageList1 != nullptr) {
        ImageList_Destroy(ImageList1);
    }
    if (PopupMenu1 != nullptr) {
        DestroyMenu(PopupMenu1);
    }
    if (accel_ != nullptr) {
        DestroyAcceleratorTable(accel_);
    }
}

void TForm1Window::CreateControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const TFormDescription& design = Form.Design();

    const TBounds& imageSize = design.Control("ImageList1").Bounds;
    ImageList1 = ImageList_Create(imageSize.Width, imageSize.Height, ILC_COLOR32 | ILC_MASK, 4, 0);
    for (int id : {IDI_IMAGE0, IDI_IMAGE1, IDI_IMAGE2, IDI_IMAGE3}) {
        HICON icon =
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                          imageSize.Width, imageSize.Height, LR_DEFAULTCOLOR));
        ImageList_AddIcon(ImageList1, icon);
        DestroyIcon(icon);
    }

    form_.Build(hwnd_, design);
    for (auto [control, name] :
         std::initializer_list<std::pair<HWND*, const char*>>{{&ListView1, "ListView1"},
                                                              {&TreeView1, "TreeView1"},
                                                              {&Panel1, "Panel1"},
                                                              {&Label1, "Label1"},
                                                              {&Edit1, "Edit1"},
                                                              {&B_SETFOLDER, "B_SETFOLDER"},
                                                              {&B_READ, "B_READ"},
                                                              {&GroupBox1, "GroupBox1"},
                                                              {&RadioGroup1, "RadioGroup1"},
                                                              {&RB_NewWin, "RB_NewWin"},
                                                              {&RB_ExistWin, "RB_ExistWin"},
                                                              {&B_TO, "B_TO"},
                                                              {&B_CC, "B_CC"},
                                                              {&B_BCC, "B_BCC"},
                                                              {&GroupBox2, "GroupBox2"},
                                                              {&Label3, "Label3"},
                                                              {&Edit2, "Edit2"},
                                                              {&B_QUOTE, "B_QUOTE"},
                                                              {&B_QUIT, "B_QUIT"},
                                                              {&Label2, "Label2"},
                                                              {&ver_label, "ver_label"},
                                                              {&Label4, "Label4"}}) {
        *control = form_[name];
    }

    ListView_SetExtendedListViewStyle(ListView1, LVS_EX_FULLROWSELECT);
    ListView_SetImageList(ListView1, ImageList1, LVSIL_SMALL);
    const std::vector<std::string>& columns = design.Control("ListView1").Columns;
    for (size_t column = 0; column < columns.size(); ++column) {
        std::wstring caption = Wide(columns[column]);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.pszText = caption.data();
        c.cx = 100;
        c.iSubItem = static_cast<int>(column);
        SendMessageW(ListView1, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
    }
    FitColumns();
    TreeView_SetImageList(TreeView1, ImageList1, TVSIL_NORMAL);

    SetWindowLongPtrW(Label4, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    labelProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(Label4, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Label4Proc)));
    for (HWND box : {GroupBox1, GroupBox2, RadioGroup1}) {
        SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        groupBoxProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GroupBoxProc)));
    }

    tooltips_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    SendMessageW(tooltips_, WM_SETFONT, reinterpret_cast<WPARAM>(DescribedFont(design.Font)),
                 FALSE);
    SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 600);
    for (const TControlDescription& c : design.Controls) {
        if (c.Hint.empty()) {
            continue;
        }
        // A group box lets the mouse through to its container: its hint is an area there.
        if (c.Kind == TControlKind::GroupBox) {
            AddAreaTool(form_[c.Parent], form_[c.Name], c.Hint);
        } else {
            AddTool(form_[c.Name], c.Hint);
        }
    }

    PopupMenu1 = form_.CreatePopupMenu("PopupMenu1");
    accel_ = form_.CreateAccelerators("PopupMenu1");
}

void TForm1Window::AddTool(HWND tool, const std::string& text) {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(tool);
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    std::wstring copy = Wide(text);
    ti.lpszText = copy.data();
    SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm1Window::AddAreaTool(HWND area, HWND control, const std::string& text) {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = area;
    ti.uId = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    ti.rect = ChildRect(control);
    std::wstring copy = Wide(text);
    ti.lpszText = copy.data();
    SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm1Window::RemoveTool(HWND owner, UINT_PTR id) {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = owner;
    ti.uId = id;
    SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

// ---- Window procedures

LRESULT CALLBACK TForm1Window::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TForm1Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TForm1Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT CALLBACK TForm1Window::GroupBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TForm1Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (IsForwardedMessage(message)) {
        return ForwardToRoot(hwnd, message, wParam, lParam);
    }
    if (message == WM_ERASEBKGND) {
        // A group box erases nothing; as a container it has the controls' background.
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return CallWindowProcW(self->groupBoxProc_, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TForm1Window::Label4Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TForm1Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_MOUSEMOVE:
            Guarded([self] { self->Form.Label4MouseMove(); });
            break;
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
            return TRUE;
        default:
            break;
    }
    return CallWindowProcW(self->labelProc_, hwnd, message, wParam, lParam);
}

LRESULT TForm1Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {Form.Design().MinWidth, Form.Design().MinHeight};
            return 0;
        }
        case WM_SIZE:
            if (ready_ && wParam != SIZE_MINIMIZED) {
                Guarded([this] { Form.resizeWindow(); });  // FormCanResize: never refuses
            }
            return 0;
        case WM_MOUSEMOVE:
            // Only the window's own background: a control's moves go to the control.
            Guarded([this] { Form.FormMouseMove(); });
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == ListView1) {
                ShowPopup(lParam);
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return OnColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_CLOSE: {
            // During a hand-off the window closes when it ends.
            bool close = true;
            Guarded([&] { close = Form.CloseQuery(); });
            if (!close) {
                return 0;
            }
            break;
        }
        case WM_SETCURSOR:
            if (Form.HandingOff() && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32650)));  // IDC_APPSTARTING
                return TRUE;
            }
            break;
        case WM_DESTROY:
            Guarded([this] { Form.FormDestroy(); });
            hwnd_ = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TForm1Window::SetBusyCursor(bool busy) {
    // At once, not at the next mouse move: the arrow with the busy sign, as
    // the window can still be used.
    POINT at{};
    GetCursorPos(&at);
    RECT r{};
    GetWindowRect(hwnd_, &r);
    if (PtInRect(&r, at)) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32650 : 32512)));
    }
}

void TForm1Window::SetButtonEnabled(TCommandButton button, bool enabled) {
    HWND const buttons[] = {B_TO, B_CC, B_BCC, B_READ, B_QUIT};
    EnableWindow(buttons[static_cast<int>(button)], enabled ? TRUE : FALSE);
}

void TForm1Window::OnCommand(int id, int code) {
    if (code == BN_CLICKED || code == 0 || code == 1) {
        switch (id) {
            case IDC_B_READ:
                Guarded([this] { Form.B_READClick(); });
                return;
            case IDC_B_SETFOLDER:
                Guarded([this] { Form.B_SETFOLDERClick(); });
                return;
            case IDC_B_QUIT:
                Guarded([this] { Form.B_QUITClick(); });
                return;
            case IDC_B_TO:
                Guarded([this] { Form.B_TOClick(); });
                return;
            case IDC_B_CC:
                Guarded([this] { Form.B_CCClick(); });
                return;
            case IDC_B_BCC:
                Guarded([this] { Form.B_BCCClick(); });
                return;
            case IDC_B_QUOTE:
                Guarded([this] { Form.B_QUOTEClick(); });
                return;
            case IDM_PROPERTY1:
                Guarded([this] { Form.Property1Click(); });
                return;
            default:
                break;
        }
    }
    if (id == IDC_LABEL4 && code == STN_CLICKED) {
        Guarded([this] { Form.Label4Click(); });
    }
}

LRESULT TForm1Window::OnNotify(const NMHDR& header) {
    if (header.hwndFrom == TreeView1 &&
        (header.code == TVN_SELCHANGEDA || header.code == TVN_SELCHANGEDW)) {
        Guarded([this] { Form.TreeView1Change(); });
    } else if (header.hwndFrom == ListView1 && header.code == NM_DBLCLK) {
        Guarded([this] { Form.ListView1DblClick(); });
    }
    return 0;
}

LRESULT TForm1Window::OnColor(HDC dc, HWND control) {
    if (control == Edit1) {
        return StaticColor(dc, COLOR_MENU);
    }
    if (control == Label4) {
        const int color = label4Color_ == TSystemColor::InfoBk ? COLOR_INFOBK : COLOR_BTNFACE;
        StaticColor(dc, color);
        SetTextColor(dc, RGB(0, 0, 255));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(color));
    }
    return StaticColor(dc, COLOR_BTNFACE);
}

void TForm1Window::ShowPopup(LPARAM at) {
    POINT p{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    if (at == -1) {
        // From the keyboard: below the focused item, or the list's corner.
        RECT r{};
        const int item = ListView_GetNextItem(ListView1, -1, LVNI_FOCUSED);
        if (item < 0 || !ListView_GetItemRect(ListView1, item, &r, LVIR_LABEL)) {
            r = {0, 0, 0, 0};
        }
        p = {r.left, r.bottom};
        ClientToScreen(ListView1, &p);
    }
    TrackPopupMenu(PopupMenu1, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd_, nullptr);
}

// ---- The window (outer bounds)

void TForm1Window::SetCaption(const std::string& text) {
    SetWindowTextCp932(hwnd_, text);
}

int TForm1Window::ClientWidth() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return r.right;
}

int TForm1Window::ClientHeight() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return r.bottom;
}

int TForm1Window::Left() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return r.left;
}

int TForm1Window::Top() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return r.top;
}

int TForm1Window::Width() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return r.right - r.left;
}

int TForm1Window::Height() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return r.bottom - r.top;
}

void TForm1Window::SetLeft(int left) {
    SetWindowPos(hwnd_, nullptr, left, Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1Window::SetTop(int top) {
    SetWindowPos(hwnd_, nullptr, Left(), top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1Window::SetWidth(int width) {
    SetWindowPos(hwnd_, nullptr, 0, 0, width, Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1Window::SetHeight(int height) {
    SetWindowPos(hwnd_, nullptr, 0, 0, Width(), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<TBounds> TForm1Window::Screens() const {
    std::vector<TBounds> screens;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            auto& list = *reinterpret_cast<std::vector<TBounds>*>(data);
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const TBounds b = ToBounds(info.rcMonitor);
                if (info.dwFlags & MONITORINFOF_PRIMARY) {
                    list.insert(list.begin(), b);
                } else {
                    list.push_back(b);
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&screens));
    return screens;
}

TBounds TForm1Window::PrimaryWorkArea() const {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return ToBounds(r);
}

void TForm1Window::Close() {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

// ---- Controls

HWND TForm1Window::Control(TLayoutControl control) const {
    switch (control) {
        case TLayoutControl::TreeView1:
            return TreeView1;
        case TLayoutControl::ListView1:
            return ListView1;
        case TLayoutControl::Panel1:
            break;
    }
    return Panel1;
}

HWND TForm1Window::Edit(TEditBox box) const {
    return box == TEditBox::Edit1 ? Edit1 : Edit2;
}

HWND TForm1Window::Radio(TRadioButton button) const {
    return button == TRadioButton::RB_NewWin ? RB_NewWin : RB_ExistWin;
}

TBounds TForm1Window::Bounds(TLayoutControl control) const {
    return ToBounds(ChildRect(Control(control)));
}

void TForm1Window::SetBounds(TLayoutControl control, const TBounds& b) {
    MoveWindow(Control(control), b.Left, b.Top, b.Width, b.Height, TRUE);
    if (control == TLayoutControl::ListView1) {
        FitColumns();
    }
}

void TForm1Window::FitColumns() {
    RECT r;
    GetClientRect(ListView1, &r);
    ListView_SetColumnWidth(ListView1, 0, (r.right + 1) / 2);
    ListView_SetColumnWidth(ListView1, 1, r.right / 2);
}

void TForm1Window::TreeClear() {
    nodes_.clear();
    nodeTexts_.clear();
    TreeView_DeleteAllItems(TreeView1);
}

int TForm1Window::TreeAddNode(int parent, const std::string& text, int image, int selectedImage) {
    std::wstring copy = Wide(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent < 0 ? TVI_ROOT : nodes_.at(static_cast<size_t>(parent));
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = copy.data();
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    insert.item.lParam = static_cast<LPARAM>(nodes_.size());
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(TreeView1, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr) {
        throw EAppError("ツリーに項目を追加できません");
    }
    nodes_.push_back(item);
    nodeTexts_.push_back(text);
    return static_cast<int>(nodes_.size() - 1);
}

void TForm1Window::TreeBeginUpdate() {
    SendMessageW(TreeView1, WM_SETREDRAW, FALSE, 0);
}

void TForm1Window::TreeEndUpdate() {
    SendMessageW(TreeView1, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(TreeView1, nullptr, TRUE);
}

void TForm1Window::TreeExpandAll() {
    for (HTREEITEM item : nodes_) {
        TreeView_Expand(TreeView1, item, TVE_EXPAND);
    }
    // Expanding scrolls to the last nodes: the tree opens at its top instead.
    if (!nodes_.empty()) {
        TreeView_Select(TreeView1, nodes_.front(), TVGN_FIRSTVISIBLE);
    }
}

int TForm1Window::TreeNodeCount() const {
    return static_cast<int>(nodes_.size());
}

std::string TForm1Window::TreeNodeText(int node) const {
    return nodeTexts_.at(static_cast<size_t>(node));
}

int TForm1Window::TreeSelected() const {
    HTREEITEM selected = TreeView_GetSelection(TreeView1);
    if (selected == nullptr) {
        return -1;
    }
    TVITEMW item{};
    item.mask = TVIF_PARAM;
    item.hItem = selected;
    if (!SendMessageW(TreeView1, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return -1;
    }
    const auto index = static_cast<size_t>(item.lParam);
    // While the tree is being cleared the selection can name a node already gone.
    return index < nodes_.size() && nodes_[index] == selected ? static_cast<int>(index) : -1;
}

void TForm1Window::TreeSelect(int node) {
    HTREEITEM item = nodes_.at(static_cast<size_t>(node));
    TreeView_SelectItem(TreeView1, item);
    TreeView_EnsureVisible(TreeView1, item);
}

void TForm1Window::ListClear() {
    rows_.clear();
    ListView_DeleteAllItems(ListView1);
}

void TForm1Window::ListAddItems(std::vector<TListItem> items) {
    SendMessageW(ListView1, WM_SETREDRAW, FALSE, 0);
    for (TListItem& entry : items) {
        std::wstring caption = Wide(entry.Caption);
        std::wstring secondText = Wide(entry.Second);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(rows_.size());
        item.pszText = caption.data();
        item.iImage = entry.Image;
        const auto at = static_cast<int>(
            SendMessageW(ListView1, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) {
            break;
        }
        LVITEMW second{};
        second.iSubItem = 1;
        second.pszText = secondText.data();
        SendMessageW(ListView1, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&second));
        rows_.push_back(std::move(entry.Caption));
    }
    SendMessageW(ListView1, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListView1, nullptr, TRUE);
    FitColumns();  // a scroll bar may have come
}

std::vector<std::string> TForm1Window::ListSelectedCaptions() const {
    std::vector<std::string> captions;
    int item = -1;
    while ((item = ListView_GetNextItem(ListView1, item, LVNI_SELECTED)) >= 0) {
        if (static_cast<size_t>(item) < rows_.size()) {
            captions.push_back(rows_[static_cast<size_t>(item)]);
        }
    }
    return captions;
}

void TForm1Window::ListSetColumnCaption(int column, const std::string& text) {
    std::wstring copy = Wide(text);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = copy.data();
    SendMessageW(ListView1, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
}

std::string TForm1Window::EditText(TEditBox box) const {
    return WindowTextA(Edit(box));
}

void TForm1Window::SetEditText(TEditBox box, const std::string& text) {
    SetWindowTextCp932(Edit(box), text);
}

std::string TForm1Window::QuoteMark() const {
    return Utf8FromWide(WindowTextW(Edit2));  // as the clipboard text crosses: UTF-8
}

bool TForm1Window::RadioChecked(TRadioButton button) const {
    return SendMessageW(Radio(button), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm1Window::CheckRadio(TRadioButton button) {
    SendMessageW(RB_NewWin, BM_SETCHECK, button == TRadioButton::RB_NewWin, 0);
    SendMessageW(RB_ExistWin, BM_SETCHECK, button == TRadioButton::RB_ExistWin, 0);
}

void TForm1Window::SetRadioEnabled(TRadioButton button, bool enabled, const std::string& hint) {
    HWND radio = Radio(button);
    EnableWindow(radio, enabled ? TRUE : FALSE);
    // A disabled button gets no mouse moves: its container sees them over its area.
    RemoveTool(GroupBox1, reinterpret_cast<UINT_PTR>(radio));
    RemoveTool(GroupBox1, static_cast<UINT_PTR>(GetDlgCtrlID(radio)));
    if (!hint.empty()) {
        AddTool(radio, hint);
        AddAreaTool(GroupBox1, radio, hint);
    }
}

void TForm1Window::SetLabelCaption(TLabelControl label, const std::string& text) {
    HWND l = label == TLabelControl::ver_label ? ver_label : Label4;
    SetWindowTextCp932(l, text);
    form_.FitLabel(l == ver_label ? "ver_label" : "Label4");
}

void TForm1Window::SetLabelColor(TLabelControl label, TSystemColor color) {
    if (label != TLabelControl::Label4 || label4Color_ == color) {
        return;
    }
    label4Color_ = color;
    InvalidateRect(Label4, nullptr, TRUE);
}

// CF_UNICODETEXT, as UTF-8: no character is lost on the way through the
// transform. Windows makes CF_TEXT for older programs from it.
std::string TForm1Window::ReadClipboardText() {
    if (!OpenClipboardBriefly(hwnd_)) {
        ThrowClipboardError();
    }
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data))) {
            const std::u16string_view got =
                ClipboardText(std::u16string_view(chars, GlobalSize(data) / sizeof(char16_t)));
            text.assign(got.begin(), got.end());
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return Utf8FromWide(text);
}

void TForm1Window::WriteClipboardText(const std::string& text) {
    const std::wstring wide = WideFromUtf8(text);
    if (!OpenClipboardBriefly(hwnd_)) {
        ThrowClipboardError();
    }
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, (wide.size() + 1) * sizeof(wchar_t));
    auto* chars = memory != nullptr ? static_cast<wchar_t*>(GlobalLock(memory)) : nullptr;
    if (chars == nullptr) {
        // The clipboard keeps what it holds.
        if (memory != nullptr) {
            GlobalFree(memory);
        }
        CloseClipboard();
        ThrowClipboardError();
    }
    std::copy(wide.begin(), wide.end(), chars);
    chars[wide.size()] = L'\0';
    GlobalUnlock(memory);
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(memory);
        ThrowClipboardError();
    }
}

void TForm1Window::OpenLink(const std::string& url) {
    OpenUrlWithShell(url);
}

std::filesystem::path TForm1Window::ExecutablePath() const {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path TForm1Window::UserConfigDir() const {
    wchar_t dir[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, dir))) {
        return {};
    }
    return std::filesystem::path(dir);
}
