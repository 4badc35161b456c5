// The window's side of the preferences file.
#include <system_error>

#include "core/Encoding.h"
#include "core/Files.h"
#include "core/PrefsFile.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

namespace {

std::optional<std::filesystem::path>& IniFileOverride() {
    static std::optional<std::filesystem::path> path;
    return path;
}

class TFormEdges : public TPrefsWindow {
  public:
    explicit TFormEdges(TForm1View& view) : view_(view) {}
    void SetLeft(int left) override { view_.SetLeft(left); }
    void SetTop(int top) override { view_.SetTop(top); }
    void SetWidth(int width) override { view_.SetWidth(width); }
    void SetHeight(int height) override { view_.SetHeight(height); }

  private:
    TForm1View& view_;
};

}  // namespace

void TForm1::SetIniFileOverride(std::optional<std::filesystem::path> path) {
    IniFileOverride() = std::move(path);
}

std::filesystem::path TForm1::getIniFileName() const {
    if (IniFileOverride()) {
        return *IniFileOverride();
    }
    const std::filesystem::path exeDir = view_.ExecutablePath().parent_path();
    const std::filesystem::path beside = exeDir / kPrefsFileName;
    // A file already there is used as it is; only without one does it matter
    // whether one could be made.
    const bool writable = FileExists(beside) || CanCreateFileIn(exeDir);
    return ChoosePrefsPath(exeDir, writable, view_.UserConfigDir());
}

void TForm1::ReadPrefs() {
    struct OnScreen {
        TForm1* form;
        ~OnScreen() { form->MoveOntoScreen(); }
    } onScreen{this};

    TFormEdges edges(view_);
    const bool found = ReadPrefsFile(getIniFileName(), Prefs, edges,
                                     [](const EAppError& error) { ReportError(error.what()); });
    if (!found) {
        return;
    }

    view_.SetEditText(TEditBox::Edit1, Prefs.MailFolder);
    ApplyPrefsDefaults(Prefs);
    view_.SetEditText(TEditBox::Edit2, Prefs.QuoteString);
    const std::string caption = SecondColumnCaption(Prefs.List2ndItem);
    if (!caption.empty()) {
        view_.ListSetColumnCaption(1, Utf8ToCp932(caption));
    }
}

void TForm1::SavePrefs() {
    const std::filesystem::path path = getIniFileName();
    const std::string text =
        BuildPrefsText(view_.EditText(TEditBox::Edit1), view_.EditText(TEditBox::Edit2), Prefs,
                       {view_.Left(), view_.Top(), view_.Width(), view_.Height()});
    if (path.has_parent_path()) {
        std::error_code ignored;  // a directory that cannot be made fails the write below
        std::filesystem::create_directories(path.parent_path(), ignored);
    }
    WriteFileAtomically(path, text);
}
