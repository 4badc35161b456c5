// The folder chooser's Qt side: Qt's own file dialog in directory mode, with
// the chooser's texts (it has no windows of the Windows dialog to adjust).
#pragma once

#include "ui/DirDialog.h"

class QWidget;

class TQtDirDialogPlatform : public TDirDialogPlatform {
  public:
    // The owner is the window the dialog is modal over.
    explicit TQtDirDialogPlatform(QWidget* owner) : owner_(owner) {}

    bool Run(TDirDialog& dialog) override;
    std::string ExecutablePath() const override;
    bool IsExistingDirectory(const std::string& path) const override;

  private:
    QWidget* owner_;
};
