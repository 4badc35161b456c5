// The Win32 face of the main window: the controls themselves at their design
// bounds, each with its ID from ControlIds.h, every event forwarded to its
// TForm1 handler through Guarded.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

#include "ui/Unit1.h"
#include "ui/win32/Win32DirDialog.h"
#include "ui/win32/Win32EventLoop.h"
#include "ui/win32/Win32Form.h"
#include "ui/win32/Win32ProgressWindow.h"

class TForm1Window : public TForm1View {
    // The form as this screen draws it: made before the behaviour that reads it.
    const TFormDescription design_;

  public:
    // Creates the window and its controls, hidden, and runs FormCreate.
    TForm1Window();
    ~TForm1Window();
    TForm1Window(const TForm1Window&) = delete;
    TForm1Window& operator=(const TForm1Window&) = delete;

    TForm1 Form;

    HWND Hwnd() const { return hwnd_; }
    HWND ListView() const { return ListView1; }
    HACCEL ListAccelerators() const { return accel_; }

    static bool RegisterClasses();

    // ---- TForm1View
    void SetCaption(const std::string& text) override;
    int ClientWidth() const override;
    int ClientHeight() const override;
    int Left() const override;
    int Top() const override;
    int Width() const override;
    int Height() const override;
    void SetLeft(int left) override;
    void SetTop(int top) override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::vector<TBounds> Screens() const override;
    TBounds PrimaryWorkArea() const override;
    void Close() override;
    TBounds Bounds(TLayoutControl control) const override;
    void SetBounds(TLayoutControl control, const TBounds& bounds) override;
    void TreeClear() override;
    int TreeAddNode(int parent, const std::string& text, int image, int selectedImage) override;
    void TreeBeginUpdate() override;
    void TreeEndUpdate() override;
    void TreeExpandAll() override;
    int TreeNodeCount() const override;
    std::string TreeNodeText(int node) const override;
    int TreeSelected() const override;
    void TreeSelect(int node) override;
    void ListClear() override;
    void ListAddItems(std::vector<TListItem> items) override;
    std::vector<std::string> ListSelectedCaptions() const override;
    void ListSetColumnCaption(int column, const std::string& text) override;
    std::string EditText(TEditBox box) const override;
    void SetEditText(TEditBox box, const std::string& text) override;
    std::string QuoteMark() const override;
    bool RadioChecked(TRadioButton button) const override;
    void CheckRadio(TRadioButton button) override;
    void SetRadioEnabled(TRadioButton button, bool enabled, const std::string& hint) override;
    void SetLabelCaption(TLabelControl label, const std::string& text) override;
    void SetLabelColor(TLabelControl label, TSystemColor color) override;
    TDirDialogPlatform& FolderChooser() override { return folderChooser_; }
    std::string ReadClipboardText() override;
    void WriteClipboardText(const std::string& text) override;
    void OpenLink(const std::string& url) override;
    std::filesystem::path ExecutablePath() const override;
    std::filesystem::path UserConfigDir() const override;
    void SetBusyCursor(bool busy) override;
    void SetButtonEnabled(TCommandButton button, bool enabled) override;
    TProgressView& Progress() override { return *progress_; }
    TEventLoop& EventLoop() override { return eventLoop_; }

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK Label4Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void AddTool(HWND tool, const std::string& text);
    void AddAreaTool(HWND area, HWND control, const std::string& text);
    void RemoveTool(HWND owner, UINT_PTR id);
    void FitColumns();
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);
    LRESULT OnColor(HDC dc, HWND control);
    void ShowPopup(LPARAM at);
    HWND Control(TLayoutControl control) const;
    HWND Edit(TEditBox box) const;
    HWND Radio(TRadioButton button) const;

    HWND hwnd_ = nullptr;
    TWin32Form form_;
    HWND ListView1 = nullptr, TreeView1 = nullptr, Panel1 = nullptr, Label1 = nullptr;
    HWND Edit1 = nullptr, B_SETFOLDER = nullptr, B_READ = nullptr, GroupBox1 = nullptr;
    HWND RadioGroup1 = nullptr, RB_NewWin = nullptr, RB_ExistWin = nullptr, B_TO = nullptr;
    HWND B_CC = nullptr, B_BCC = nullptr, GroupBox2 = nullptr, Label3 = nullptr;
    HWND Edit2 = nullptr, B_QUOTE = nullptr, B_QUIT = nullptr, Label2 = nullptr;
    HWND ver_label = nullptr, Label4 = nullptr, tooltips_ = nullptr;
    HIMAGELIST ImageList1 = nullptr;
    HMENU PopupMenu1 = nullptr;
    HACCEL accel_ = nullptr;
    TSystemColor label4Color_ = TSystemColor::BtnFace;
    bool ready_ = false;
    std::vector<HTREEITEM> nodes_;
    std::vector<std::string> nodeTexts_;
    std::vector<std::string> rows_;
    TWin32DirDialogPlatform folderChooser_;
    WNDPROC groupBoxProc_ = nullptr;
    WNDPROC labelProc_ = nullptr;
    TWin32EventLoop eventLoop_;
    std::unique_ptr<TWin32ProgressWindow> progress_;
};
