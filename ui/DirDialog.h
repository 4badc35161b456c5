// The folder chooser: the platform's open-file dialog turned into a folder
// chooser. Captions are cp932; paths are native bytes: cp932 on Windows, as
// the file system gives them (UTF-8) on POSIX.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A window of the platform's dialog; 0 names no window.
using TWindowHandle = std::uintptr_t;

class TDirDialog;

// What the chooser needs of the platform. The window operations are those of
// the Windows dialog; a platform whose dialog has no such windows keeps the
// defaults, and no adjustment is made there.
class TDirDialogPlatform {
  public:
    // Runs the dialog modally over its owner, with the dialog's Title, Filter
    // and FileName. While it runs, the show notification calls
    // dialog.DialogShown() and every change of folder dialog.FolderChanged().
    // On confirmation the full path of the chosen entry goes to FileName.
    // True when the user confirmed.
    virtual bool Run(TDirDialog& dialog) = 0;

    virtual std::string ExecutablePath() const = 0;
    virtual bool IsExistingDirectory(const std::string& path) const = 0;

    // The top-level dialog window with this caption (FindWindowA "#32770").
    virtual TWindowHandle FindDialogWindow(const std::string&) { return 0; }
    // Every descendant of parent, while visit answers true.
    virtual void EnumChildWindows(TWindowHandle, const std::function<bool(TWindowHandle)>&) {}
    // Empty when the window has none.
    virtual std::string ClassName(TWindowHandle) { return {}; }
    virtual std::string WindowText(TWindowHandle) { return {}; }
    virtual bool IsWindow(TWindowHandle) { return false; }
    virtual void HideWindow(TWindowHandle) {}
    virtual void SetWindowText(TWindowHandle, const std::string&) {}

  protected:
    ~TDirDialogPlatform() = default;
};

// The six controls found inside the dialog, held for the whole program.
struct TDirDialogControls {
    TWindowHandle FileNameEditHandle = 0;
    TWindowHandle FileTypeComboHandle = 0;
    TWindowHandle FileNameLabelHandle = 0;
    TWindowHandle FileTypeLabelHandle = 0;
    TWindowHandle LookInLabelHandle = 0;
    TWindowHandle OpenButtonHandle = 0;
};
const TDirDialogControls& DialogControls();

class TDirDialog {
  public:
    explicit TDirDialog(TDirDialogPlatform& platform);

    // True when the user confirmed, false on cancel or close.
    bool Choose();

    // The chosen folder: no trailing separator except at a root; the
    // executable's directory when FileName names no existing directory.
    std::string Directory() const;

    // "Dummy.dat" before the run; after a confirmed run the full path of the
    // chosen entry.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
    // For a platform whose dialog gives the chosen folder itself: FileName
    // becomes "Dummy.dat" inside it, as the Windows dialog gives it; an empty
    // folder empties FileName, so Directory gives the executable's directory.
    void SetChosenFolder(std::string_view folder);
    // Empty after creation; "フォルダの選択" from the first Choose on.
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    const std::string& Filter() const { return filter_; }
    bool AdjustPending() const { return FAdjustPending; }

    // The captions the adjustment gives the folder list's label and the
    // confirm button (cp932); a platform with its own folder chooser uses them too.
    static std::string LookInCaption();
    static std::string OkCaption();

    // The platform's notifications, while Run runs.
    void DialogShown();
    void FolderChanged();

    // Records the six controls among the window's descendants; true when all
    // six now name windows.
    bool FindDialogControls(TWindowHandle window);
    // Called once per descendant; always answers true.
    bool RecordDialogControl(TWindowHandle window, intptr_t value);

  private:
    TDirDialogPlatform& platform_;
    bool FAdjustPending = false;
    std::string fileName_;
    std::string title_;
    std::string filter_;
};
