// What the main window's behaviour needs of its controls. Each face (Qt,
// Win32, the in-memory one of the tests) creates the controls, implements
// this, and forwards every event to its TForm1 handler through Guarded.
//
// Texts are cp932 bytes, the program's own, except where a comment says
// otherwise: the clipboard's text and the quote mark cross in the face's
// clipboard encoding (cp932 for CF_TEXT, UTF-8 with Qt) so that no character
// on the clipboard is lost.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Bounds.h"

// The controls the layout moves.
enum class TLayoutControl { TreeView1, ListView1, Panel1 };
enum class TEditBox { Edit1, Edit2 };
enum class TRadioButton { RB_NewWin, RB_ExistWin };
// The labels whose caption or background the behaviour sets.
enum class TLabelControl { ver_label, Label4 };
// The system colours the credit label takes: clBtnFace and clInfoBk.
enum class TSystemColor { BtnFace, InfoBk };

struct TListItem {
    std::string Caption;
    std::string Second;
    int Image = 0;
};

// The buttons a hand-off to a mail client disables while it lasts.
enum class TCommandButton { B_TO, B_CC, B_BCC, B_READ, B_QUIT };

class TDirDialogPlatform;
class TEventLoop;

// The small modeless window that says a hand-off is under way; its button
// "中止" (and its close box) runs TForm1::ProgressCancelClick.
class TProgressView {
  public:
    // Shows the window, or changes its text while it is shown; without a
    // button text, the window has no button (a wait that cannot be left).
    virtual void ShowProgress(const std::string& caption, const std::string& text,
                              const std::string& button) = 0;
    virtual void HideProgress() = 0;
    virtual bool ProgressVisible() const = 0;

  protected:
    ~TProgressView() = default;
};

class TForm1View {
  public:
    // ---- The window; Left .. Height are the outer bounds.
    virtual void SetCaption(const std::string& text) = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetLeft(int left) = 0;
    virtual void SetTop(int top) = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;
    // The screens' bounds, the primary one first, and the primary one's work area.
    virtual std::vector<TBounds> Screens() const = 0;
    virtual TBounds PrimaryWorkArea() const = 0;
    // Ends the message loop for the main window.
    virtual void Close() = 0;

    // ---- Control bounds inside their container.
    virtual TBounds Bounds(TLayoutControl control) const = 0;
    virtual void SetBounds(TLayoutControl control, const TBounds& bounds) = 0;

    // ---- TreeView1. Nodes are numbered in tree order: root first, each node
    // before its children, children in the order added.
    virtual void TreeClear() = 0;
    // Adds a node as the last child of parent (-1: a top-level node); returns its number.
    virtual int TreeAddNode(int parent, const std::string& text, int image, int selectedImage) = 0;
    // Nodes added between the two are shown once, at the end (a large tree).
    virtual void TreeBeginUpdate() = 0;
    virtual void TreeEndUpdate() = 0;
    virtual void TreeExpandAll() = 0;
    virtual int TreeNodeCount() const = 0;
    virtual std::string TreeNodeText(int node) const = 0;
    // The selected node, or -1.
    virtual int TreeSelected() const = 0;
    // Selects the node and makes it visible; a change of selection runs
    // TreeView1Change before this returns.
    virtual void TreeSelect(int node) = 0;

    // ---- ListView1.
    virtual void ListClear() = 0;
    // Adds the items at the end, in order.
    virtual void ListAddItems(std::vector<TListItem> items) = 0;
    // Captions of the selected items, in list order.
    virtual std::vector<std::string> ListSelectedCaptions() const = 0;
    virtual void ListSetColumnCaption(int column, const std::string& text) = 0;

    // ---- Edit boxes, radio buttons, labels.
    virtual std::string EditText(TEditBox box) const = 0;
    virtual void SetEditText(TEditBox box, const std::string& text) = 0;
    // Edit2's text in the clipboard's encoding.
    virtual std::string QuoteMark() const = 0;
    virtual bool RadioChecked(TRadioButton button) const = 0;
    // Turns the button on, and the other one off.
    virtual void CheckRadio(TRadioButton button) = 0;
    // An empty hint removes the tooltip.
    virtual void SetRadioEnabled(TRadioButton button, bool enabled, const std::string& hint) = 0;
    virtual void SetLabelCaption(TLabelControl label, const std::string& text) = 0;
    virtual void SetLabelColor(TLabelControl label, TSystemColor color) = 0;

    // ---- A hand-off under way: the busy cursor over the window, the
    // commands that must not run twice, the progress window, and the loop
    // the face runs (its timers drive the progress window).
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void SetButtonEnabled(TCommandButton button, bool enabled) = 0;
    virtual TProgressView& Progress() = 0;
    virtual TEventLoop& EventLoop() = 0;

    // ---- Other windows, the clipboard and the desktop.
    // The folder chooser's platform side, for a dialog owned by this window.
    virtual TDirDialogPlatform& FolderChooser() = 0;
    // In the clipboard's encoding. Both throw EAppError
    // "クリップボードを開くことができません" when the clipboard cannot be opened.
    virtual std::string ReadClipboardText() = 0;
    virtual void WriteClipboardText(const std::string& text) = 0;
    // Hands a "mailto:" link (ASCII) to the desktop; the result is not used.
    virtual void OpenLink(const std::string& url) = 0;

    // ---- Where the program's files are (native paths).
    virtual std::filesystem::path ExecutablePath() const = 0;
    // The user's configuration directory; empty when there is none.
    virtual std::filesystem::path UserConfigDir() const = 0;

  protected:
    ~TForm1View() = default;
};
