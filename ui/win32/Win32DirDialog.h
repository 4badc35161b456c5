// The folder chooser's Windows side: the explorer-style open-file dialog with
// a hook, and the window operations the chooser adjusts it with.
#pragma once

#include <windows.h>
// The chooser's own SetWindowText, not the ANSI/wide macro.
#undef SetWindowText

#include "ui/DirDialog.h"

class TWin32DirDialogPlatform : public TDirDialogPlatform {
  public:
    void SetOwner(HWND owner) { owner_ = owner; }

    bool Run(TDirDialog& dialog) override;
    std::string ExecutablePath() const override;
    bool IsExistingDirectory(const std::string& path) const override;

    TWindowHandle FindDialogWindow(const std::string& title) override;
    void EnumChildWindows(TWindowHandle parent,
                          const std::function<bool(TWindowHandle)>& visit) override;
    std::string ClassName(TWindowHandle window) override;
    std::string WindowText(TWindowHandle window) override;
    bool IsWindow(TWindowHandle window) override;
    void HideWindow(TWindowHandle window) override;
    void SetWindowText(TWindowHandle window, const std::string& text) override;

  private:
    HWND owner_ = nullptr;
};
