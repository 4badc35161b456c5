// The window's side of the preferences file.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <system_error>

#include "Encoding.h"
#include "ErrorReport.h"
#include "PrefsFile.h"
#include "UiText.h"
#include "Unit1.h"

namespace {

std::optional<std::filesystem::path>& IniFileOverride() {
    static std::optional<std::filesystem::path> path;
    return path;
}

std::filesystem::path ToPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

class TFormEdges : public TPrefsWindow {
  public:
    explicit TFormEdges(TForm1& form) : form_(form) {}
    void SetLeft(int left) override { form_.SetLeft(left); }
    void SetTop(int top) override { form_.SetTop(top); }
    void SetWidth(int width) override { form_.SetWidth(width); }
    void SetHeight(int height) override { form_.SetHeight(height); }

  private:
    TForm1& form_;
};

}  // namespace

void TForm1::SetIniFileOverride(std::optional<std::filesystem::path> path) {
    IniFileOverride() = std::move(path);
}

std::filesystem::path TForm1::getIniFileName() const {
    if (IniFileOverride())
        return *IniFileOverride();
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString configDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return ChoosePrefsPath(ToPath(exeDir), QFileInfo(exeDir).isWritable(),
                           configDir.isEmpty() ? std::filesystem::path() : ToPath(configDir));
}

void TForm1::ReadPrefs() {
    struct OnScreen {
        TForm1* form;
        ~OnScreen() { form->MoveOntoScreen(); }
    } onScreen{this};

    TFormEdges edges(*this);
    const bool found = ReadPrefsFile(getIniFileName(), Prefs, edges,
                                     [](const EAppError& error) { ReportError(error.what()); });
    if (!found)
        return;

    Edit1->setText(FromCp932(Prefs.MailFolder));
    ApplyPrefsDefaults(Prefs);
    Edit2->setText(FromCp932(Prefs.QuoteString));
    const std::string caption = SecondColumnCaption(Prefs.List2ndItem);
    if (!caption.empty())
        listModel_->SetColumnCaption(1, QString::fromStdString(caption));
}

void TForm1::SavePrefs() {
    const std::filesystem::path path = getIniFileName();
    const std::string text = BuildPrefsText(ToCp932(Edit1->text()), ToCp932(Edit2->text()), Prefs,
                                            {Left(), Top(), Width(), Height()});
    if (path.has_parent_path()) {
        std::error_code ignored;  // a directory that cannot be made fails the write below
        std::filesystem::create_directories(path.parent_path(), ignored);
    }
    WriteFileAtomically(path, text);
}
