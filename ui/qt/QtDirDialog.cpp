#include "ui/qt/QtDirDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QWidget>
#include <filesystem>

#include "core/Files.h"
#include "ui/qt/UiText.h"

namespace {

// Native path bytes: what the path rule works on.
std::string ToNativeBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The dialog picks a folder: the file name box and the file type list have
// nothing to say, so they go, as long as Qt's dialog still has them.
void HideFileControls(QFileDialog& dialog) {
    for (const char* name : {"fileNameEdit", "fileTypeCombo", "fileNameLabel", "fileTypeLabel"}) {
        if (QWidget* w = dialog.findChild<QWidget*>(QLatin1String(name))) {
            w->hide();
        }
    }
}

// The look-in label's access key I moves to the folder list; without a buddy
// the label would show the "&" itself.
void BindLookInKey(QFileDialog& dialog) {
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    auto* combo = dialog.findChild<QWidget*>(QStringLiteral("lookInCombo"));
    if (label && combo) {
        label->setBuddy(combo);
    }
}

}  // namespace

bool TQtDirDialogPlatform::Run(TDirDialog& chooser) {
    QFileDialog dialog(owner_, FromCp932(chooser.Title()));
    dialog.setObjectName(QStringLiteral("DirDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setLabelText(QFileDialog::LookIn, FromCp932(TDirDialog::LookInCaption()));
    dialog.setLabelText(QFileDialog::Accept, FromCp932(TDirDialog::OkCaption()));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    HideFileControls(dialog);
    BindLookInKey(dialog);

    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }

    const QStringList chosen = dialog.selectedFiles();
    chooser.SetChosenFolder(chosen.isEmpty() ? std::string() : ToNativeBytes(chosen.first()));
    return true;
}

std::string TQtDirDialogPlatform::ExecutablePath() const {
    return ToNativeBytes(QCoreApplication::applicationFilePath());
}

bool TQtDirDialogPlatform::IsExistingDirectory(const std::string& path) const {
    if (path.empty()) {
        return false;
    }
    return DirectoryExists(std::filesystem::path(path));
}
