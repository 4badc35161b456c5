#include "ui/FormDescription.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "core/Encoding.h"

namespace {

using K = TControlKind;

std::string Sj(const char* utf8) {
    return Utf8ToCp932(utf8);
}

TFontDescription UiFont() {
    return {Sj("ＭＳ Ｐゴシック"), 12, false, 128};
}

TControlDescription Control(K kind, const char* name, const char* parent, TBounds bounds,
                            const char* caption = "", int tabOrder = -1) {
    TControlDescription c;
    c.Kind = kind;
    c.Name = name;
    c.Parent = parent;
    c.Bounds = bounds;
    c.Caption = Sj(caption);
    c.TabOrder = tabOrder;
    return c;
}

TFormDescription MakeForm1() {
    TFormDescription f;
    f.Name = "Form1";
    f.Caption = Sj("アドレス帳");
    f.Bounds = {552, 7, 458, 447};
    f.MinWidth = 455;
    f.MinHeight = 320;
    f.Font = UiFont();
    f.Color = TColor::BtnFace;

    const std::string quoteHint =
        Sj("クリップボードにコピー済みのテキストを引用マーク付きのものと置き換えます");
    auto& c = f.Controls;

    TControlDescription list = Control(K::ListView, "ListView1", "", {241, 10, 203, 201}, "", 0);
    list.Anchors = akTop | akRight | akBottom;
    list.Columns = {Sj("名前"), ""};
    list.Images = "ImageList1";
    list.PopupMenu = "PopupMenu1";
    c.push_back(list);

    TControlDescription tree = Control(K::TreeView, "TreeView1", "", {10, 10, 220, 201}, "", 1);
    tree.Anchors = akLeft | akTop | akBottom;
    tree.Indent = 19;
    tree.Images = "ImageList1";
    c.push_back(tree);

    TControlDescription panel = Control(K::Panel, "Panel1", "", {8, 224, 435, 185}, "", 2);
    panel.Anchors = akLeft | akBottom;
    c.push_back(panel);

    c.push_back(Control(K::Label, "Label1", "Panel1", {10, 16, 0, 0}, "メールフォルダ"));
    TControlDescription edit1 =
        Control(K::Edit, "Edit1", "Panel1", {89, 11, 145, 20}, "設定されていません", 5);
    edit1.ReadOnly = true;
    edit1.Color = TColor::Menu;
    edit1.Hint = Sj("Winbiff V2のメールフォルダを設定します");
    c.push_back(edit1);
    c.push_back(Control(K::Button, "B_SETFOLDER", "Panel1", {240, 9, 75, 25}, "参照...", 6));
    c.push_back(Control(K::Button, "B_READ", "Panel1", {322, 9, 108, 25}, "アドレス帳読み込み", 7));

    c.push_back(
        Control(K::GroupBox, "GroupBox1", "Panel1", {1, 45, 290, 95}, "メールアドレスの挿入", 1));
    c.push_back(Control(K::RadioGroup, "RadioGroup1", "GroupBox1", {9, 23, 162, 58},
                        "どのウインドウ？", 0));
    c.push_back(Control(K::RadioButton, "RB_NewWin", "GroupBox1", {14, 39, 141, 17},
                        "新規メールウインドウへ", 2));
    c.push_back(Control(K::RadioButton, "RB_ExistWin", "GroupBox1", {14, 57, 152, 17},
                        "既存のメールウインドウへ", 3));
    c.push_back(Control(K::Button, "B_TO", "GroupBox1", {180, 10, 95, 24}, "「宛先」へ", 1));
    c.push_back(Control(K::Button, "B_CC", "GroupBox1", {180, 38, 95, 24}, "「CC」へ", 4));
    c.push_back(Control(K::Button, "B_BCC", "GroupBox1", {180, 66, 95, 24}, "「BCC」へ", 5));

    TControlDescription group2 =
        Control(K::GroupBox, "GroupBox2", "Panel1", {294, 45, 140, 80}, "引用付き貼付サポート", 2);
    group2.Hint = quoteHint;
    c.push_back(group2);
    c.push_back(Control(K::Label, "Label3", "GroupBox2", {17, 23, 0, 0}, "引用マーク"));
    // Edit2 and B_QUOTE belong to the panel and are drawn inside GroupBox2's frame.
    c.push_back(Control(K::Edit, "Edit2", "Panel1", {386, 64, 36, 20}, "> ", 3));
    TControlDescription quote =
        Control(K::Button, "B_QUOTE", "Panel1", {307, 88, 117, 27}, "引用マークを付加", 4);
    quote.Hint = quoteHint;
    c.push_back(quote);
    c.push_back(Control(K::Button, "B_QUIT", "Panel1", {360, 133, 75, 25}, "閉じる", 0));

    c.push_back(Control(K::Label, "Label2", "Panel1", {40, 168, 0, 0},
                        "Winbiff V2アドレス帳→Outlookメールウインドウ"));
    c.push_back(Control(K::Label, "ver_label", "Panel1", {285, 168, 0, 0}, "ver. xxx by"));
    TControlDescription credit =
        Control(K::Label, "Label4", "Panel1", {350, 168, 0, 0}, "quorvantel");
    credit.Font = UiFont();
    credit.Font.Underline = true;
    credit.FontColor = TColor::Blue;
    credit.Color = TColor::BtnFace;
    credit.HandPoint = true;
    credit.Hint = Sj("このプログラムの作者にメールを送る");
    c.push_back(credit);

    c.push_back(Control(K::ImageList, "ImageList1", "", {0, 0, 16, 16}));
    c.push_back(Control(K::PopupMenu, "PopupMenu1", "", {}));
    TControlDescription property =
        Control(K::MenuItem, "Property1", "PopupMenu1", {}, "プロパティ");
    property.ShortCut = {'P', true};
    c.push_back(property);
    return f;
}

TFormDescription MakeForm2() {
    TFormDescription f;
    f.Name = "Form2";
    f.Caption = "Form2";
    f.Bounds = {453, 111, 247, 245};
    f.Font = UiFont();
    f.Color = TColor::BtnFace;
    auto& c = f.Controls;
    c.push_back(Control(K::Label, "Label1", "", {9, 16, 0, 0}, "名前"));
    c.push_back(Control(K::Label, "Label2", "", {10, 41, 0, 0}, "アドレス"));
    c.push_back(Control(K::Label, "Label3", "", {10, 76, 0, 0}, "電話番号"));
    c.push_back(Control(K::Label, "Label4", "", {10, 100, 0, 0}, "所属"));
    c.push_back(Control(K::Label, "Label5", "", {11, 127, 0, 0}, "部署"));
    c.push_back(Control(K::Label, "Label6", "", {11, 152, 0, 0}, "メモ"));
    const struct {
        const char* name;
        int top;
    } boxes[] = {{"NickName", 14}, {"Address", 39},  {"Tel", 71},
                 {"Org", 97},      {"OrgUnit", 122}, {"Memo", 149}};
    int tab = 0;
    for (const auto& b : boxes) {
        TControlDescription box = Control(K::Edit, b.name, "", {72, b.top, 158, 20}, "", tab++);
        box.ReadOnly = true;
        box.Color = TColor::Menu;
        c.push_back(box);
    }
    c.push_back(Control(K::Button, "Button1", "", {86, 184, 75, 25}, "閉じる", tab));
    return f;
}

bool TakesFocus(TControlKind kind) {
    switch (kind) {
        case K::ListView:
        case K::TreeView:
        case K::Edit:
        case K::Button:
        case K::RadioButton:
            return true;
        default:
            return false;
    }
}

bool IsContainer(TControlKind kind) {
    return kind == K::Panel || kind == K::GroupBox;
}

// MulDiv: the product in 64 bits, the quotient rounded half away from zero.
int Scale(int value, int dpi) {
    const int64_t product = int64_t{value} * dpi;
    const int64_t half = 48;
    return static_cast<int>(product >= 0 ? (product + half) / 96 : -((-product + half) / 96));
}

TBounds ScaleBounds(const TBounds& b, int dpi) {
    const int left = Scale(b.Left, dpi);
    const int top = Scale(b.Top, dpi);
    return {left, top, Scale(b.Left + b.Width, dpi) - left, Scale(b.Top + b.Height, dpi) - top};
}

void ScaleFont(TFontDescription& font, int dpi) {
    font.Height = Scale(font.Height, dpi);
}

}  // namespace

const TControlDescription& TFormDescription::Control(std::string_view name) const {
    for (const TControlDescription& c : Controls) {
        if (c.Name == name) {
            return c;
        }
    }
    throw std::out_of_range("no control " + std::string(name) + " in " + Name);
}

std::vector<const TControlDescription*> TFormDescription::Children(std::string_view parent) const {
    std::vector<const TControlDescription*> children;
    for (const TControlDescription& c : Controls) {
        if (c.Parent == parent) {
            children.push_back(&c);
        }
    }
    return children;
}

const TFontDescription& TFormDescription::FontOf(const TControlDescription& control) const {
    return control.Font.Name.empty() ? Font : control.Font;
}

const TFormDescription& Form1Description() {
    static const TFormDescription form = MakeForm1();
    return form;
}

const TFormDescription& Form2Description() {
    static const TFormDescription form = MakeForm2();
    return form;
}

std::vector<const TControlDescription*> TabChain(const TFormDescription& form) {
    std::vector<const TControlDescription*> chain;
    const std::function<void(std::string_view)> visit = [&](std::string_view parent) {
        std::vector<const TControlDescription*> children = form.Children(parent);
        std::erase_if(children, [](const TControlDescription* c) { return c->TabOrder < 0; });
        std::stable_sort(children.begin(), children.end(),
                         [](const auto* a, const auto* b) { return a->TabOrder < b->TabOrder; });
        for (const TControlDescription* c : children) {
            if (TakesFocus(c->Kind)) {
                chain.push_back(c);
            }
            if (IsContainer(c->Kind)) {
                visit(c->Name);
            }
        }
    };
    visit("");
    return chain;
}

TFormDescription ScaleForm(const TFormDescription& form, int dpi) {
    TFormDescription scaled = form;
    scaled.Bounds = ScaleBounds(form.Bounds, dpi);
    scaled.MinWidth = Scale(form.MinWidth, dpi);
    scaled.MinHeight = Scale(form.MinHeight, dpi);
    ScaleFont(scaled.Font, dpi);
    for (TControlDescription& c : scaled.Controls) {
        // The images keep their pixel size.
        if (c.Kind != K::ImageList) {
            c.Bounds = ScaleBounds(c.Bounds, dpi);
        }
        c.Indent = Scale(c.Indent, dpi);
        if (!c.Font.Name.empty()) {
            ScaleFont(c.Font, dpi);
        }
    }
    return scaled;
}
