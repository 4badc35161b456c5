#include "DirDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QWidget>
#include <filesystem>
#include <string>

#include "DirPath.h"
#include "Encoding.h"
#include "Utils.h"

namespace {

const char kDummyName[] = "Dummy.dat";

// Native path bytes: what the path rule works on.
std::string ToNativeBytes(const QString& path) {
#ifdef _WIN32
    return PathToCp932(std::filesystem::path(QDir::toNativeSeparators(path).toStdWString()));
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QString FromNativeBytes(const std::string& bytes) {
#ifdef _WIN32
    return QString::fromStdWString(Cp932ToPath(bytes).wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(bytes));
#endif
}

bool IsExistingDirectory(const std::string& bytes) {
    if (bytes.empty())
        return false;
#ifdef _WIN32
    return DirectoryExists(Cp932ToPath(bytes));
#else
    return DirectoryExists(std::filesystem::path(bytes));
#endif
}

// The dialog picks a folder: the file name box and the file type list have
// nothing to say, so they go, as long as Qt's dialog still has them.
void HideFileControls(QFileDialog& dialog) {
    for (const char* name : {"fileNameEdit", "fileTypeCombo", "fileNameLabel", "fileTypeLabel"}) {
        if (QWidget* w = dialog.findChild<QWidget*>(QLatin1String(name)))
            w->hide();
    }
}

// The look-in label's access key I moves to the folder list; without a buddy
// the label would show the "&" itself.
void BindLookInKey(QFileDialog& dialog) {
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    auto* combo = dialog.findChild<QWidget*>(QStringLiteral("lookInCombo"));
    if (label && combo)
        label->setBuddy(combo);
}

}  // namespace

TDirDialog::TDirDialog(QWidget* owner)
    : owner_(owner), fileName_(QString::fromLatin1(kDummyName)) {}

bool TDirDialog::Choose() {
    if (title_.isEmpty())
        title_ = QStringLiteral("フォルダの選択");

    QFileDialog dialog(owner_, title_);
    dialog.setObjectName(QStringLiteral("DirDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("フォルダの場所(&I)"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    HideFileControls(dialog);
    BindLookInKey(dialog);

    if (dialog.exec() != QDialog::Accepted)
        return false;

    const QStringList chosen = dialog.selectedFiles();
    QString folder = chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen.first());
    if (folder.isEmpty()) {
        fileName_.clear();  // Directory falls back to the executable's directory
        return true;
    }
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    fileName_ = folder + QString::fromLatin1(kDummyName);
    return true;
}

QString TDirDialog::Directory() const {
    const std::string dir = ChosenDirectory(ToNativeBytes(fileName_),
                                            ToNativeBytes(QCoreApplication::applicationFilePath()),
                                            kNativePathForm, IsExistingDirectory);
    return FromNativeBytes(dir);
}
