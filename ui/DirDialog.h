// The folder chooser: Qt's own file dialog in directory mode, with its texts
// set for choosing the mail folder.
#pragma once

#include <QString>

class QWidget;

class TDirDialog {
  public:
    // The owner is the window the dialog is modal over.
    explicit TDirDialog(QWidget* owner);

    // Runs the dialog; true when the user confirmed, false on cancel or close.
    bool Choose();

    // The chosen folder, from FileName: no trailing separator except at a root;
    // the executable's directory when FileName names no existing directory.
    QString Directory() const;

    // "Dummy.dat" before the run; after a confirmed run the chosen folder
    // followed by that name.
    const QString& FileName() const { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }

    // Empty after creation; "フォルダの選択" from the first Choose on.
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

  private:
    QWidget* owner_;
    QString fileName_;
    QString title_;
};
