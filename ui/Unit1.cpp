#include "ui/Unit1.h"

#include <algorithm>

#include "core/Encoding.h"
#include "core/Errors.h"
#include "core/Files.h"
#include "core/GroupTree.h"
#include "core/TextUtf.h"
#include "core/Utils.h"
#include "ui/DirDialog.h"
#include "ui/ErrorReport.h"
#include "ui/Unit2.h"
#include "ui/Version.h"

TPrefs Prefs;

TRecipientForm RecipientForm(const TPrefs& prefs) {
    return prefs.MailAddressOnly == "YES" ? TRecipientForm::AddressOnly
                                          : TRecipientForm::QuotedName;
}

namespace {

std::string Sj(const char* utf8) {
    return Utf8ToCp932(utf8);
}

// Until the program's entry chooses the mail client: it reaches nothing.
class TNoMailClient : public TMailClient {
  public:
    void Connect() override { throw EAppError("メールソフトが選ばれていません"); }
    std::unique_ptr<TMailItem> CreateItem() override { return nullptr; }
    std::unique_ptr<TMailItem> ActiveItem() override { return nullptr; }
    bool CanReachOpenItems() const override { return false; }
    std::string DisplayName() const override { return {}; }
};

std::unique_ptr<TMailClient> NoMailClient() {
    return std::make_unique<TNoMailClient>();
}

}  // namespace

std::string TreeTruncatedMessage(size_t shownNodes) {
    return "グループの入れ子が多すぎるため、ツリーには最初の " + std::to_string(shownNodes) +
           " 個だけを表示しています";
}

std::string FolderNotCp932Message(std::string_view utf8Folder) {
    // Bytes that are no UTF-8 show as U+FFFD rather than breaking the message.
    const std::string shown = Utf16ToUtf8(Utf8ToUtf16(utf8Folder));
    return "フォルダ「" + shown +
           "」の名前には Shift-JIS (コードページ 932) で表せない文字が含まれているため、"
           "メールフォルダにできません。フォルダの名前を変えるか、別のフォルダを選んでください";
}

TForm1::TForm1(TForm1View& view, const TFormDescription& design)
    : view_(view), design_(design), OutlookApplication1(NoMailClient()) {}

TForm1::~TForm1() = default;

const char* TForm1::MailLink() {
    return "mailto:quorvantel@example.jp";
}

void TForm1::FormCreate() {
    resizeWindow();
    ReadPrefs();
    B_READClick();
    view_.CheckRadio(TRadioButton::RB_NewWin);
    view_.SetLabelCaption(TLabelControl::ver_label, std::string(kVersionText) + " by");
    view_.SetCaption(Sj("アドレス帳  ") + kVersionText);
}

void TForm1::FormDestroy() {
    SavePrefs();
}

void TForm1::resizeWindow() {
    // The tree's design left is every margin: beside, between and below the controls.
    const int gap = design_.Control("TreeView1").Bounds.Left;
    const int panelHeight = design_.Control("Panel1").Bounds.Height;
    TBounds tree = view_.Bounds(TLayoutControl::TreeView1);
    const int w = (view_.ClientWidth() - 3 * gap) / 2;
    const int h = view_.ClientHeight() - tree.Top - 2 * gap - panelHeight;
    tree.Width = w;
    tree.Height = h;
    view_.SetBounds(TLayoutControl::TreeView1, tree);
    view_.SetBounds(TLayoutControl::ListView1, {tree.Left + w + gap, tree.Top, w, h});
    TBounds panel = view_.Bounds(TLayoutControl::Panel1);
    panel.Top = tree.Top + h + gap;
    view_.SetBounds(TLayoutControl::Panel1, panel);
}

// A window restored entirely off every screen comes back onto the primary
// one; a window that still shows in part stays where it is.
void TForm1::MoveOntoScreen() {
    // In 64 bits: a file may put the window near the ends of the int range.
    const int64_t left = view_.Left(), top = view_.Top();
    const int64_t width = view_.Width(), height = view_.Height();
    const std::vector<TBounds> screens = view_.Screens();
    for (const TBounds& s : screens) {
        if (left < int64_t{s.Left} + s.Width && left + width > s.Left &&
            top < int64_t{s.Top} + s.Height && top + height > s.Top) {
            return;
        }
    }
    if (screens.empty()) {
        return;
    }
    const TBounds area = view_.PrimaryWorkArea();
    const auto place = [](int64_t at, int start, int length, int64_t size) {
        const int64_t last = std::max<int64_t>(start, int64_t{start} + length - size);
        return static_cast<int>(std::clamp<int64_t>(at, start, last));
    };
    view_.SetLeft(place(left, area.Left, area.Width, width));
    view_.SetTop(place(top, area.Top, area.Height, height));
}

void TForm1::B_READClick() {
    view_.TreeClear();
    view_.ListClear();

    std::optional<std::string> cut;
    const std::string folder = view_.EditText(TEditBox::Edit1);
    if (DirectoryExists(Cp932ToPath(folder))) {
        book_ = std::make_unique<TAddressBook>();
        book_->SetFolder(folder);
        book_->Load();

        struct UpdateScope {
            TForm1View& view;
            ~UpdateScope() { view.TreeEndUpdate(); }
        };
        // Groups listed in many groups can need millions of nodes: the tree
        // stops at a bound and says so once it is shown.
        TGroupTreeBuilder tree(*book_, kMaxTreeNodes);
        view_.TreeBeginUpdate();
        {
            UpdateScope scope{view_};
            const int root = tree.AddRoot();
            view_.TreeAddNode(-1, "\\", kImageRoot, kImageRoot);
            for (const std::string& name : book_->GroupMembers("\\")) {
                AddToTreeView(tree, name, root);
                if (tree.Truncated()) {
                    break;
                }
            }
        }
        if (tree.Truncated()) {
            cut = TreeTruncatedMessage(tree.Nodes().size());
        }
    }
    view_.TreeExpandAll();
    if (cut) {
        ReportError(*cut);
    }
}

void TForm1::AddToTreeView(TGroupTreeBuilder& tree, const std::string& name, int parentNode) {
    // The view's nodes are the builder's, one for one and in the same order.
    const size_t first = tree.Nodes().size();
    tree.Add(name, parentNode);
    const auto& nodes = tree.Nodes();
    for (size_t i = first; i < nodes.size(); ++i) {
        view_.TreeAddNode(nodes[i].Parent, nodes[i].Name, kImageGroup, kImageGroupOpen);
    }
}

void TForm1::TreeView1Change() {
    view_.ListClear();
    const int node = view_.TreeSelected();
    if (node < 0 || !book_) {
        return;
    }
    const std::string name = view_.TreeNodeText(node);

    const TNameList& members = book_->GroupMembers(name);
    std::vector<TListItem> items;
    items.reserve(members.size());
    for (const std::string& member : members) {
        TListItem item;
        item.Caption = member;
        if (book_->IsGroup(member)) {
            item.Image = kImageGroup;
        } else {
            item.Image = kImageCard;
            if (Prefs.List2ndItem == "ADDRESS") {
                item.Second = book_->CardAddress(member);
            } else if (Prefs.List2ndItem == "MEMO") {
                item.Second = book_->CardMemo(member);
            }
        }
        items.push_back(std::move(item));
    }
    view_.ListAddItems(std::move(items));
}

void TForm1::ListView1DblClick() {
    const std::vector<std::string> captions = view_.ListSelectedCaptions();
    if (captions.empty() || !book_ || !book_->IsGroup(captions.front())) {
        return;
    }
    const int count = view_.TreeNodeCount();
    for (int i = 0; i < count; ++i) {
        if (view_.TreeNodeText(i) == captions.front()) {
            view_.TreeSelect(i);
            return;
        }
    }
}

void TForm1::Property1Click() {
    const std::vector<std::string> captions = view_.ListSelectedCaptions();
    if (captions.empty()) {
        return;
    }
    PropertyCard = book_ ? book_->CardRecord(captions.front()) : TCard{};
    if (Form2) {
        Form2->ShowProperties();
    }
}

void TForm1::B_SETFOLDERClick() {
    TDirDialog dialog(view_.FolderChooser());
    if (!dialog.Choose()) {
        return;
    }
    const std::string folder = dialog.Directory();
    // The preferences file and the address book speak cp932: a folder named
    // with other characters could only be stored, and read, as another path.
    // Windows hands over cp932 bytes already.
#ifndef _WIN32
    if (!IsCp932Representable(folder)) {
        throw EAppError(FolderNotCp932Message(folder));
    }
#endif
    view_.SetEditText(TEditBox::Edit1, NativeToCp932(folder));
}

void TForm1::B_QUITClick() {
    SavePrefs();
    view_.Close();
}

void TForm1::FormMouseMove() {
    view_.SetLabelColor(TLabelControl::Label4, TSystemColor::BtnFace);
}

void TForm1::Label4MouseMove() {
    view_.SetLabelColor(TLabelControl::Label4, TSystemColor::InfoBk);
}

void TForm1::Label4Click() {
    view_.OpenLink(MailLink());
}
