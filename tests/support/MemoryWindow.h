// The in-memory face of the windows: controls as plain data, so the windows'
// behaviour runs in tests without any toolkit. Like a real face it forwards
// the events its operations cause (a change of size, of the tree's selection,
// a dialog becoming visible) to the handlers through Guarded.
#pragma once

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/FakeMailClient.h"
#include "tests/support/ManualEventLoop.h"
#include "ui/DirDialog.h"
#include "ui/Form1View.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

class TMemoryForm2View : public TForm2View {
  public:
    TForm2* Form = nullptr;
    std::string Caption = "Form2";  // cp932, as every text here
    std::map<TPropertyBox, std::string> Boxes;
    bool Visible = false;
    int Raised = 0;  // times brought to the front

    void SetCaption(const std::string& text) override { Caption = text; }
    void SetBoxText(TPropertyBox box, const std::string& text) override { Boxes[box] = text; }
    void ShowModeless() override;
    void Hide() override { Visible = false; }
};

// The folder chooser: each run takes the next answer, or cancels when none is left.
class TMemoryDirDialog : public TDirDialogPlatform {
  public:
    struct TAnswer {
        bool Confirm = false;
        std::string FileName;  // native bytes stored on confirmation
    };
    std::deque<TAnswer> Answers;
    std::string ExePath = "/opt/quorvantel/quorvantel";
    int Runs = 0;
    std::string LastTitle;

    bool Run(TDirDialog& dialog) override;
    std::string ExecutablePath() const override { return ExePath; }
    bool IsExistingDirectory(const std::string& path) const override;
};

class TMemoryProgressView : public TProgressView {
  public:
    bool Visible = false;
    std::string Caption, Text, Button;  // cp932
    int Shown = 0;                      // times it became visible

    void ShowProgress(const std::string& caption, const std::string& text,
                      const std::string& button) override {
        Shown += Visible ? 0 : 1;
        Visible = true;
        Caption = caption;
        Text = text;
        Button = button;
    }
    void HideProgress() override { Visible = false; }
    bool ProgressVisible() const override { return Visible; }
};

class TMemoryForm1View : public TForm1View {
  public:
    struct TNode {
        std::string Text;
        int Parent = -1;
        int Image = 0;
        int SelectedImage = 0;
        int Depth = 0;
    };

    TForm1* Form = nullptr;

    // ---- State, open to the tests.
    std::string Caption;  // cp932, as every text here
    TBounds Outer;
    // What a window manager adds around the client area.
    int FrameWidth = 0;
    int FrameHeight = 0;
    std::vector<TBounds> ScreenList{{0, 0, 1280, 1024}};
    TBounds WorkArea{0, 0, 1280, 1000};
    bool Closed = false;
    std::map<TLayoutControl, TBounds> Controls;
    std::vector<TNode> Nodes;  // in tree order
    bool Expanded = false;     // every node, after TreeExpandAll
    int Updating = 0;
    int Selected = -1;
    std::vector<TListItem> Items;
    std::set<int> SelectedRows;
    std::string ColumnCaptions[2];
    std::map<TEditBox, std::string> Edits;
    // Edit2 as the clipboard's encoding sees it; empty: Edit2's own text.
    std::optional<std::string> ClipboardQuoteMark;
    std::map<TRadioButton, bool> Radios;
    std::map<TRadioButton, bool> RadioEnabled{{TRadioButton::RB_NewWin, true},
                                              {TRadioButton::RB_ExistWin, true}};
    std::map<TRadioButton, std::string> RadioHints;
    std::map<TLabelControl, std::string> Labels;
    std::map<TLabelControl, TSystemColor> LabelColors;
    TMemoryDirDialog Chooser;
    std::optional<std::string> Clipboard = std::string();  // nullopt: cannot be opened
    std::vector<std::string> OpenedLinks;
    std::filesystem::path ExePath = "/opt/quorvantel/quorvantel";
    std::filesystem::path ConfigDir;
    bool Busy = false;
    std::map<TCommandButton, bool> ButtonEnabled;
    TMemoryProgressView ProgressWindow;
    // Time passes only when nothing else is left to do.
    TManualEventLoop Loop{TManualEventLoop::TClockKind::Fake};

    TMemoryForm1View();

    // ---- What a user does.
    // Selects the nth node (in tree order) with this UTF-8 text.
    void SelectNode(const std::string& utf8, int nth = 0);
    // Selects the list rows, top to bottom as given.
    void SelectRows(std::initializer_list<int> rows);
    // Resizes the outer window, as a border drag does.
    void Resize(int width, int height);

    // ---- Reading back, as UTF-8.
    std::vector<std::pair<std::string, int>> TreeTexts() const;  // text, depth
    struct TRow {
        std::string Caption;
        std::string Second;
        int Image = 0;
        bool operator==(const TRow&) const = default;
    };
    std::vector<TRow> Rows() const;
    std::string Edit(TEditBox box) const;
    std::string Column(int column) const;
    std::string Label(TLabelControl label) const;
    std::string WindowCaption() const;

    // ---- TForm1View
    void SetCaption(const std::string& text) override;
    int ClientWidth() const override { return Outer.Width - FrameWidth; }
    int ClientHeight() const override { return Outer.Height - FrameHeight; }
    int Left() const override { return Outer.Left; }
    int Top() const override { return Outer.Top; }
    int Width() const override { return Outer.Width; }
    int Height() const override { return Outer.Height; }
    void SetLeft(int left) override { Outer.Left = left; }
    void SetTop(int top) override { Outer.Top = top; }
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::vector<TBounds> Screens() const override { return ScreenList; }
    TBounds PrimaryWorkArea() const override { return WorkArea; }
    void Close() override { Closed = true; }
    TBounds Bounds(TLayoutControl control) const override { return Controls.at(control); }
    void SetBounds(TLayoutControl control, const TBounds& bounds) override {
        Controls[control] = bounds;
    }
    void TreeClear() override;
    int TreeAddNode(int parent, const std::string& text, int image, int selectedImage) override;
    void TreeBeginUpdate() override { ++Updating; }
    void TreeEndUpdate() override { --Updating; }
    void TreeExpandAll() override { Expanded = true; }
    int TreeNodeCount() const override { return static_cast<int>(Nodes.size()); }
    std::string TreeNodeText(int node) const override { return Nodes.at(node).Text; }
    int TreeSelected() const override { return Selected; }
    void TreeSelect(int node) override;
    void ListClear() override;
    void ListAddItems(std::vector<TListItem> items) override;
    std::vector<std::string> ListSelectedCaptions() const override;
    void ListSetColumnCaption(int column, const std::string& text) override {
        ColumnCaptions[column] = text;
    }
    std::string EditText(TEditBox box) const override { return Edits.at(box); }
    void SetEditText(TEditBox box, const std::string& text) override { Edits[box] = text; }
    std::string QuoteMark() const override {
        return ClipboardQuoteMark ? *ClipboardQuoteMark : Edits.at(TEditBox::Edit2);
    }
    bool RadioChecked(TRadioButton button) const override { return Radios.at(button); }
    void CheckRadio(TRadioButton button) override;
    void SetRadioEnabled(TRadioButton button, bool enabled, const std::string& hint) override {
        RadioEnabled[button] = enabled;
        RadioHints[button] = hint;
    }
    void SetLabelCaption(TLabelControl label, const std::string& text) override {
        Labels[label] = text;
    }
    void SetLabelColor(TLabelControl label, TSystemColor color) override {
        LabelColors[label] = color;
    }
    TDirDialogPlatform& FolderChooser() override { return Chooser; }
    std::string ReadClipboardText() override;
    void WriteClipboardText(const std::string& text) override;
    void OpenLink(const std::string& url) override { OpenedLinks.push_back(url); }
    std::filesystem::path ExecutablePath() const override { return ExePath; }
    std::filesystem::path UserConfigDir() const override { return ConfigDir; }
    void SetBusyCursor(bool busy) override { Busy = busy; }
    void SetButtonEnabled(TCommandButton button, bool enabled) override {
        ButtonEnabled[button] = enabled;
    }
    TProgressView& Progress() override { return ProgressWindow; }
    TEventLoop& EventLoop() override { return Loop; }

  private:
    void Resized();
    void Select(int node);
};

// The main window and its properties dialog, as the program's entry makes
// them, over the in-memory face; errors are recorded, not shown.
class TMemoryWindow {
  public:
    TMemoryWindow();
    // Destroy, unless it ran already.
    ~TMemoryWindow();

    // FormDestroy, as the window's destruction runs it; once.
    void Destroy();

    TMemoryForm1View View;
    TMemoryForm2View View2;
    TForm1 Form{View};
    TForm2 Form2{View2, Form.PropertyCard};

    // FormCreate, through the error guard.
    void Create();
    // A handler of the window, through the error guard.
    void Do(void (TForm1::*handler)());
    // The messages reported so far (UTF-8, as the report shows them).
    std::vector<std::string> Reports;
    // The mail client the window starts with.
    TFakeMailClient& Mail() { return *mail_; }

  private:
    TFakeMailClient* mail_;
    bool destroyed_ = false;
};
