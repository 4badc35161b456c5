#include "ui/win32/Win32Form.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "core/Encoding.h"
#include "ui/win32/ControlIds.h"
#include "ui/win32/Win32Font.h"
#include "ui/win32/Win32Util.h"

HFONT DescribedFont(const TFontDescription& font) {
    // The described face where GDI has it, else the first installed stand-in.
    HDC dc = GetDC(nullptr);
    HFONT handle = FormFont(dc, font.Height, font.Underline);
    ReleaseDC(nullptr, dc);
    return handle;
}

namespace {

bool TakesFocus(TControlKind kind) {
    return kind == TControlKind::ListView || kind == TControlKind::TreeView ||
           kind == TControlKind::Edit || kind == TControlKind::Button ||
           kind == TControlKind::RadioButton;
}

bool IsWindowKind(TControlKind kind) {
    return kind != TControlKind::ImageList && kind != TControlKind::PopupMenu &&
           kind != TControlKind::MenuItem;
}

bool IsFrame(TControlKind kind) {
    return kind == TControlKind::GroupBox || kind == TControlKind::RadioGroup;
}

bool HasFocusableChild(const TFormDescription& form, const std::string& name) {
    for (const TControlDescription* child : form.Children(name)) {
        if (TakesFocus(child->Kind) && child->TabOrder >= 0) {
            return true;
        }
    }
    return false;
}

const wchar_t* PanelClass() {
    static const std::wstring name(kPanelClass, kPanelClass + sizeof kPanelClass - 1);
    return name.c_str();
}

struct TWindowClass {
    const wchar_t* Name;
    DWORD Style;
    DWORD ExStyle;
};

TWindowClass ClassOf(const TFormDescription& form, const TControlDescription& c) {
    constexpr DWORD clip = WS_CLIPSIBLINGS;
    constexpr DWORD tab = WS_TABSTOP;
    switch (c.Kind) {
        case TControlKind::ListView:
            return {WC_LISTVIEWW, clip | tab | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                    WS_EX_CLIENTEDGE};
        case TControlKind::TreeView:
            return {
                WC_TREEVIEWW,
                clip | tab | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                WS_EX_CLIENTEDGE};
        case TControlKind::Panel:
            return {PanelClass(), WS_CLIPCHILDREN | clip, WS_EX_CONTROLPARENT};
        case TControlKind::Label:
            return {L"STATIC", SS_LEFT | SS_NOPREFIX | (c.HandPoint ? SS_NOTIFY : 0u), 0};
        case TControlKind::Edit:
            return {L"EDIT", clip | tab | ES_AUTOHSCROLL | (c.ReadOnly ? ES_READONLY : 0u),
                    WS_EX_CLIENTEDGE};
        case TControlKind::Button:
            return {L"BUTTON", clip | tab | BS_PUSHBUTTON, 0};
        case TControlKind::GroupBox:
        case TControlKind::RadioGroup:
            return {L"BUTTON", clip | BS_GROUPBOX,
                    HasFocusableChild(form, c.Name) ? DWORD{WS_EX_CONTROLPARENT} : 0u};
        case TControlKind::RadioButton:
            return {L"BUTTON", clip | tab | BS_AUTORADIOBUTTON, 0};
        default:
            return {L"STATIC", 0, 0};
    }
}

void FitToText(HWND label) {
    const int length = GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max(0, GetWindowTextW(label, text.data(), length + 1))));
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The label after this one on its line, or null.
const TControlDescription* NextLabel(const TFormDescription& form, const TControlDescription& c) {
    const TControlDescription* next = nullptr;
    for (const TControlDescription* other : form.Children(c.Parent)) {
        if (other->Kind == TControlKind::Label && other->Bounds.Top == c.Bounds.Top &&
            other->Bounds.Left > c.Bounds.Left &&
            (next == nullptr || other->Bounds.Left < next->Bounds.Left)) {
            next = other;
        }
    }
    return next;
}

}  // namespace

HWND TWin32Form::operator[](std::string_view name) const {
    const auto found = windows_.find(name);
    return found == windows_.end() ? nullptr : found->second;
}

void TWin32Form::Build(HWND form, const TFormDescription& description) {
    description_ = &description;
    windows_.clear();
    windows_[""] = form;
    BuildChildren("");
}

void TWin32Form::BuildChildren(const std::string& parent) {
    const TFormDescription& d = *description_;
    std::vector<const TControlDescription*> children = d.Children(parent);
    std::erase_if(children, [](const TControlDescription* c) { return !IsWindowKind(c->Kind); });
    if (children.empty()) {
        return;
    }
    // Tab follows the order of creation.
    std::stable_sort(children.begin(), children.end(), [](const auto* a, const auto* b) {
        const unsigned ta = static_cast<unsigned>(a->TabOrder);  // -1: last
        const unsigned tb = static_cast<unsigned>(b->TabOrder);
        return ta < tb;
    });
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND container = windows_.at(parent);
    for (size_t i = 0; i < children.size(); ++i) {
        const TControlDescription& c = *children[i];
        TWindowClass cls = ClassOf(d, c);
        // Arrow keys move within a run of radio buttons only.
        const auto isRadio = [&](size_t at) {
            return at < children.size() && children[at]->Kind == TControlKind::RadioButton;
        };
        const bool radio = c.Kind == TControlKind::RadioButton;
        if (TakesFocus(c.Kind) && ((radio && (i == 0 || !isRadio(i - 1))) ||
                                   (!radio && ((i > 0 && isRadio(i - 1)) || isRadio(i + 1))))) {
            cls.Style |= WS_GROUP;
        }
        const bool label = c.Kind == TControlKind::Label;
        const std::wstring text = Wide(c.Caption);
        HWND window = CreateWindowExW(
            cls.ExStyle, cls.Name, text.c_str(), WS_CHILD | WS_VISIBLE | cls.Style, c.Bounds.Left,
            c.Bounds.Top, label ? 1 : c.Bounds.Width, label ? 1 : c.Bounds.Height, container,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(d.Name, c.Name))), instance,
            nullptr);
        windows_[c.Name] = window;
        if (c.Kind != TControlKind::Panel) {
            SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(DescribedFont(d.FontOf(c))),
                         FALSE);
            // A text wider than its control in the font at hand is fitted.
            FitControlText(window);
        }
        if (c.Kind == TControlKind::TreeView && c.Indent > 0) {
            SendMessageW(window, TVM_SETINDENT, static_cast<WPARAM>(c.Indent), 0);
        }
    }
    for (const TControlDescription* c : children) {
        if (c->Kind == TControlKind::Label) {
            FitLabel(c->Name);
        }
    }
    // A frame without controls of its own lies under those drawn inside it.
    for (const TControlDescription* c : children) {
        if (IsFrame(c->Kind) && !HasFocusableChild(d, c->Name)) {
            SetWindowPos(windows_.at(c->Name), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    for (const TControlDescription* c : children) {
        BuildChildren(c->Name);
    }
}

void TWin32Form::FitLabel(std::string_view name) const {
    const TFormDescription& d = *description_;
    const TControlDescription& c = d.Control(name);
    HWND label = (*this)[name];
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(DescribedFont(d.FontOf(c))), FALSE);
    FitToText(label);
    const TControlDescription* next = NextLabel(d, c);
    if (next == nullptr) {
        return;
    }
    constexpr int kGap = 3;
    RECT r;
    GetWindowRect(label, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(label), reinterpret_cast<POINT*>(&r), 2);
    if (r.right <= next->Bounds.Left - kGap) {
        return;
    }
    const std::wstring text = WindowTextW(label);
    HDC dc = GetDC(label);
    const TFontDescription& font = d.FontOf(c);
    HFONT fitted =
        FitFormFont(dc, text, next->Bounds.Left - kGap - r.left, font.Height, font.Underline);
    ReleaseDC(label, dc);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(fitted), TRUE);
    FitToText(label);
}

HMENU TWin32Form::CreatePopupMenu(std::string_view menu) const {
    HMENU popup = ::CreatePopupMenu();
    for (const TControlDescription* item : description_->Children(menu)) {
        std::string text = item->Caption;
        if (item->ShortCut.Key != 0) {
            text += std::string("\t") + (item->ShortCut.Ctrl ? "Ctrl+" : "") + item->ShortCut.Key;
        }
        AppendMenuW(popup, MF_STRING,
                    static_cast<UINT_PTR>(ControlId(description_->Name, item->Name)),
                    Wide(text).c_str());
    }
    return popup;
}

HACCEL TWin32Form::CreateAccelerators(std::string_view menu) const {
    std::vector<ACCEL> keys;
    for (const TControlDescription* item : description_->Children(menu)) {
        if (item->ShortCut.Key == 0) {
            continue;
        }
        ACCEL key{};
        key.fVirt = static_cast<BYTE>(FVIRTKEY | (item->ShortCut.Ctrl ? FCONTROL : 0));
        key.key = static_cast<WORD>(item->ShortCut.Key);
        key.cmd = static_cast<WORD>(ControlId(description_->Name, item->Name));
        keys.push_back(key);
    }
    return keys.empty() ? nullptr
                        : CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}
