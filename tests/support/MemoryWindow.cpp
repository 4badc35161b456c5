#include "tests/support/MemoryWindow.h"

#include <algorithm>

#include "core/Encoding.h"
#include "core/Files.h"
#include "ui/ErrorReport.h"

// ---- TMemoryForm2View

void TMemoryForm2View::ShowModeless() {
    ++Raised;
    Visible = true;
}

// ---- TMemoryDirDialog

bool TMemoryDirDialog::Run(TDirDialog& dialog) {
    ++Runs;
    LastTitle = dialog.Title();
    if (Answers.empty()) {
        return false;
    }
    const TAnswer answer = Answers.front();
    Answers.pop_front();
    if (answer.Confirm) {
        dialog.SetFileName(answer.FileName);
    }
    return answer.Confirm;
}

bool TMemoryDirDialog::IsExistingDirectory(const std::string& path) const {
    return !path.empty() && DirectoryExists(std::filesystem::path(path));
}

// ---- TMemoryForm1View

TMemoryForm1View::TMemoryForm1View() {
    // The controls as the form describes them, as every face draws them.
    const TFormDescription& design = Form1Description();
    Caption = design.Caption;
    Outer = design.Bounds;
    Controls[TLayoutControl::ListView1] = design.Control("ListView1").Bounds;
    Controls[TLayoutControl::TreeView1] = design.Control("TreeView1").Bounds;
    Controls[TLayoutControl::Panel1] = design.Control("Panel1").Bounds;
    const std::vector<std::string>& columns = design.Control("ListView1").Columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        ColumnCaptions[static_cast<int>(i)] = columns[i];
    }
    Edits[TEditBox::Edit1] = design.Control("Edit1").Caption;
    Edits[TEditBox::Edit2] = design.Control("Edit2").Caption;
    Radios[TRadioButton::RB_NewWin] = false;
    Radios[TRadioButton::RB_ExistWin] = false;
    Labels[TLabelControl::ver_label] = design.Control("ver_label").Caption;
    Labels[TLabelControl::Label4] = design.Control("Label4").Caption;
    LabelColors[TLabelControl::Label4] = TSystemColor::BtnFace;
}

void TMemoryForm1View::Resized() {
    if (Form) {
        Guarded([this] { Form->resizeWindow(); });
    }
}

void TMemoryForm1View::SetWidth(int width) {
    const int w = std::max(width, Form ? Form->Design().MinWidth : 0);
    if (w == Outer.Width) {
        return;
    }
    Outer.Width = w;
    Resized();
}

void TMemoryForm1View::SetHeight(int height) {
    const int h = std::max(height, Form ? Form->Design().MinHeight : 0);
    if (h == Outer.Height) {
        return;
    }
    Outer.Height = h;
    Resized();
}

void TMemoryForm1View::Resize(int width, int height) {
    SetWidth(width);
    SetHeight(height);
}

void TMemoryForm1View::SetCaption(const std::string& text) {
    Caption = text;
}

void TMemoryForm1View::TreeClear() {
    Nodes.clear();
    Expanded = false;
    Select(-1);
}

int TMemoryForm1View::TreeAddNode(int parent, const std::string& text, int image,
                                  int selectedImage) {
    TNode node{text, parent, image, selectedImage, 0};
    if (parent >= 0) {
        node.Depth = Nodes.at(parent).Depth + 1;
    }
    // Tree order: after the parent's last descendant.
    size_t at = Nodes.size();
    if (parent >= 0) {
        at = static_cast<size_t>(parent) + 1;
        while (at < Nodes.size() && Nodes[at].Depth > node.Depth - 1) {
            ++at;
        }
    }
    Nodes.insert(Nodes.begin() + static_cast<std::ptrdiff_t>(at), std::move(node));
    return static_cast<int>(at);
}

void TMemoryForm1View::Select(int node) {
    if (node == Selected) {
        return;
    }
    Selected = node;
    if (Form) {
        Guarded([this] { Form->TreeView1Change(); });
    }
}

void TMemoryForm1View::TreeSelect(int node) {
    Select(node);
}

void TMemoryForm1View::SelectNode(const std::string& utf8, int nth) {
    const std::string text = Utf8ToCp932(utf8);
    for (size_t i = 0; i < Nodes.size(); ++i) {
        if (Nodes[i].Text == text && nth-- == 0) {
            Select(static_cast<int>(i));
            return;
        }
    }
    Select(-1);
}

void TMemoryForm1View::ListClear() {
    Items.clear();
    SelectedRows.clear();
}

void TMemoryForm1View::ListAddItems(std::vector<TListItem> items) {
    for (TListItem& item : items) {
        Items.push_back(std::move(item));
    }
}

void TMemoryForm1View::SelectRows(std::initializer_list<int> rows) {
    SelectedRows = std::set<int>(rows);
}

std::vector<std::string> TMemoryForm1View::ListSelectedCaptions() const {
    std::vector<std::string> captions;
    for (int row : SelectedRows) {
        captions.push_back(Items.at(static_cast<size_t>(row)).Caption);
    }
    return captions;
}

void TMemoryForm1View::CheckRadio(TRadioButton button) {
    Radios[TRadioButton::RB_NewWin] = button == TRadioButton::RB_NewWin;
    Radios[TRadioButton::RB_ExistWin] = button == TRadioButton::RB_ExistWin;
}

std::string TMemoryForm1View::ReadClipboardText() {
    if (!Clipboard) {
        throw EAppError("クリップボードを開くことができません");
    }
    return *Clipboard;
}

void TMemoryForm1View::WriteClipboardText(const std::string& text) {
    if (!Clipboard) {
        throw EAppError("クリップボードを開くことができません");
    }
    Clipboard = text;
}

std::vector<std::pair<std::string, int>> TMemoryForm1View::TreeTexts() const {
    std::vector<std::pair<std::string, int>> out;
    for (const TNode& node : Nodes) {
        out.emplace_back(Cp932ToUtf8(node.Text), node.Depth);
    }
    return out;
}

std::vector<TMemoryForm1View::TRow> TMemoryForm1View::Rows() const {
    std::vector<TRow> rows;
    for (const TListItem& item : Items) {
        rows.push_back({Cp932ToUtf8(item.Caption), Cp932ToUtf8(item.Second), item.Image});
    }
    return rows;
}

std::string TMemoryForm1View::Edit(TEditBox box) const {
    return Cp932ToUtf8(Edits.at(box));
}

std::string TMemoryForm1View::Column(int column) const {
    return Cp932ToUtf8(ColumnCaptions[column]);
}

std::string TMemoryForm1View::Label(TLabelControl label) const {
    return Cp932ToUtf8(Labels.at(label));
}

std::string TMemoryForm1View::WindowCaption() const {
    return Cp932ToUtf8(Caption);
}

// ---- TMemoryWindow

TMemoryWindow::TMemoryWindow() {
    View.Form = &Form;
    View2.Form = &Form2;
    Form.Form2 = &Form2;
    auto mail = std::make_unique<TFakeMailClient>();
    mail_ = mail.get();
    Form.SetMailClient(std::move(mail));
    SetErrorReporter([this](const std::string& text) { Reports.push_back(text); });
}

TMemoryWindow::~TMemoryWindow() {
    Destroy();
    SetErrorReporter(nullptr);
}

void TMemoryWindow::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    Guarded([this] { Form.FormDestroy(); });
}

void TMemoryWindow::Create() {
    Guarded([this] { Form.FormCreate(); });
}

void TMemoryWindow::Do(void (TForm1::*handler)()) {
    Guarded([this, handler] { (Form.*handler)(); });
}
