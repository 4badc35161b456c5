#include "ui/DirDialog.h"

#include "core/DirPath.h"
#include "core/Encoding.h"

namespace {

const char kDummyName[] = "Dummy.dat";

TDirDialogControls controls;

bool Names(TDirDialogPlatform& platform, TWindowHandle window) {
    return window != 0 && platform.IsWindow(window);
}

}  // namespace

const TDirDialogControls& DialogControls() {
    return controls;
}

TDirDialog::TDirDialog(TDirDialogPlatform& platform)
    : platform_(platform), fileName_(kDummyName), filter_("*.*|*.*") {
    controls = TDirDialogControls{};
}

bool TDirDialog::Choose() {
    FAdjustPending = true;
    if (title_.empty()) {
        title_ = Utf8ToCp932("フォルダの選択");
    }
    return platform_.Run(*this);
}

void TDirDialog::SetChosenFolder(std::string_view folder) {
    if (folder.empty()) {
        fileName_.clear();
        return;
    }
    fileName_ = folder;
#ifdef _WIN32
    if (!EndsWithPathDelim(fileName_)) {
        fileName_ += '\\';
    }
#else
    if (fileName_.back() != '/') {
        fileName_ += '/';
    }
#endif
    fileName_ += kDummyName;
}

std::string TDirDialog::LookInCaption() {
    return Utf8ToCp932("フォルダの場所(&I)");
}

std::string TDirDialog::OkCaption() {
    return "OK";
}

std::string TDirDialog::Directory() const {
    return ChosenDirectory(
        fileName_, platform_.ExecutablePath(), kNativePathForm,
        [this](const std::string& path) { return platform_.IsExistingDirectory(path); });
}

void TDirDialog::DialogShown() {
    FindDialogControls(platform_.FindDialogWindow(title_));
}

bool TDirDialog::FindDialogControls(TWindowHandle window) {
    if (!Names(platform_, window)) {
        return false;
    }
    platform_.EnumChildWindows(
        window, [this](TWindowHandle child) { return RecordDialogControl(child, 1); });
    return Names(platform_, controls.FileNameEditHandle) &&
           Names(platform_, controls.FileTypeComboHandle) &&
           Names(platform_, controls.FileNameLabelHandle) &&
           Names(platform_, controls.FileTypeLabelHandle) &&
           Names(platform_, controls.LookInLabelHandle) &&
           Names(platform_, controls.OpenButtonHandle);
}

bool TDirDialog::RecordDialogControl(TWindowHandle window, intptr_t value) {
    if (value != 1) {
        return true;
    }
    const std::string className = platform_.ClassName(window);
    if (className.empty()) {
        return true;
    }
    // The captions of the Japanese open-file dialog, compared exactly.
    static const std::string fileNameLabel = Utf8ToCp932("ファイル名(&N):");
    static const std::string fileTypeLabel = Utf8ToCp932("ファイルの種類(&T):");
    static const std::string lookInLabel = Utf8ToCp932("ファイルの場所(&I):");
    static const std::string openButton = Utf8ToCp932("開く(&O)");
    if (className == "Edit") {
        controls.FileNameEditHandle = window;
        return true;
    }
    if (className == "ComboBox") {
        controls.FileTypeComboHandle = window;
        return true;
    }
    const std::string caption = platform_.WindowText(window);
    if (caption.empty()) {
        return true;
    }
    if (className == "Static" && caption == fileNameLabel) {
        controls.FileNameLabelHandle = window;
    } else if (className == "Static" && caption == fileTypeLabel) {
        controls.FileTypeLabelHandle = window;
    } else if (className == "Static" && caption == lookInLabel) {
        controls.LookInLabelHandle = window;
    } else if (className == "Button" && caption == openButton) {
        controls.OpenButtonHandle = window;
    }
    return true;
}

void TDirDialog::FolderChanged() {
    const TWindowHandle all[] = {controls.FileNameEditHandle,  controls.FileTypeComboHandle,
                                 controls.FileNameLabelHandle, controls.FileTypeLabelHandle,
                                 controls.LookInLabelHandle,   controls.OpenButtonHandle};
    if (!FAdjustPending) {
        return;
    }
    for (TWindowHandle handle : all) {
        if (!Names(platform_, handle)) {
            return;
        }
    }
    FAdjustPending = false;
    platform_.HideWindow(controls.FileNameEditHandle);
    platform_.HideWindow(controls.FileTypeComboHandle);
    platform_.HideWindow(controls.FileNameLabelHandle);
    platform_.HideWindow(controls.FileTypeLabelHandle);
    platform_.SetWindowText(controls.FileNameLabelHandle, "");
    platform_.SetWindowText(controls.FileTypeLabelHandle, "");
    platform_.SetWindowText(controls.LookInLabelHandle, LookInCaption());
    platform_.SetWindowText(controls.OpenButtonHandle, OkCaption());
}
