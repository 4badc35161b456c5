// The folder chooser's behaviour: the folder a confirmed choice names, and
// the adjustment of the Windows dialog's controls, on a platform of plain data.
#include <gtest/gtest.h>

#include <map>

#include "core/Encoding.h"
#include "tests/support/MemoryWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/DirDialog.h"

namespace {

namespace fs = std::filesystem;

TEST(DirDialogDirectory, FromFileNameUnderThePathRule) {
    TempDir tmp;
    const std::string root = tmp.path().string();
    const std::string japanese = root + "/メール フォルダ";
    fs::create_directories(japanese + "/受信箱");
    fs::create_directories(root + "/Vanished");
    const std::string exeDir = root + "/bin";
    fs::create_directories(exeDir);

    TMemoryDirDialog platform;
    platform.ExePath = exeDir + "/quorvantel";
    TDirDialog dialog(platform);
    EXPECT_EQ(dialog.FileName(), "Dummy.dat");
    EXPECT_EQ(dialog.Title(), "");
    EXPECT_EQ(dialog.Filter(), "*.*|*.*");
    EXPECT_FALSE(dialog.AdjustPending());

    const struct {
        std::string fileName;
        std::string expected;
    } cases[] = {
        {root + "/Dummy.dat", root},
        {japanese + "/受信箱/Dummy.dat", japanese + "/受信箱"},
        {japanese + "/", japanese},
        {"/Dummy.dat", "/"},
        {root + "/Gone/Dummy.dat", exeDir},
        {"Dummy.dat", exeDir},
        {"", exeDir},
    };
    for (const auto& c : cases) {
        dialog.SetFileName(c.fileName);
        EXPECT_EQ(dialog.Directory(), c.expected) << c.fileName;
    }

    // A folder that vanishes between the choice and the question.
    dialog.SetFileName(root + "/Vanished/Dummy.dat");
    EXPECT_EQ(dialog.Directory(), root + "/Vanished");
    fs::remove_all(root + "/Vanished");
    EXPECT_EQ(dialog.Directory(), exeDir);
}

// A chooser that gives the folder itself answers as the Windows dialog does.
TEST(DirDialogDirectory, ChosenFolderStandsForAnEntryInIt) {
    TMemoryDirDialog platform;
    TDirDialog dialog(platform);
    const struct {
        std::string folder;
        std::string fileName;
    } cases[] = {
        {"/home/user/Mail", "/home/user/Mail/Dummy.dat"},
        {"/home/user/Mail/", "/home/user/Mail/Dummy.dat"},
        {"/", "/Dummy.dat"},
        {"", ""},
    };
    for (const auto& c : cases) {
        dialog.SetChosenFolder(c.folder);
        EXPECT_EQ(dialog.FileName(), c.fileName) << c.folder;
    }
}

// The Windows dialog as windows with a class and a caption.
class TWindowsDialog : public TMemoryDirDialog {
  public:
    struct TWindow {
        std::string Class;
        std::string Text;
        bool Visible = true;
    };
    std::map<TWindowHandle, TWindow> Windows;  // 1 is the dialog itself
    std::string DialogTitle;
    // What the dialog sends while it runs: 's' show, 'f' folder change.
    std::string Notifications = "sf";

    TWindowsDialog() {
        DialogTitle = Utf8ToCp932("フォルダの選択");
        Windows[1] = {"#32770", DialogTitle};
        const char* controls[][2] = {{"Edit", ""},
                                     {"ComboBox", "*.*"},
                                     {"Static", "ファイル名(&N):"},
                                     {"Static", "ファイルの種類(&T):"},
                                     {"Static", "ファイルの場所(&I):"},
                                     {"Button", "開く(&O)"},
                                     {"Button", "キャンセル"},
                                     {"SysListView32", ""}};
        TWindowHandle h = 10;
        for (const auto& c : controls) {
            Windows[h++] = {c[0], Utf8ToCp932(c[1])};
        }
    }
    bool Run(TDirDialog& dialog) override {
        for (char n : Notifications) {
            if (n == 's') {
                dialog.DialogShown();
            } else {
                dialog.FolderChanged();
            }
        }
        return TMemoryDirDialog::Run(dialog);
    }
    TWindowHandle FindDialogWindow(const std::string& title) override {
        return title == DialogTitle ? 1 : 0;
    }
    void EnumChildWindows(TWindowHandle parent,
                          const std::function<bool(TWindowHandle)>& visit) override {
        for (const auto& [handle, window] : Windows) {
            if (handle != parent && !visit(handle)) {
                return;
            }
        }
    }
    std::string ClassName(TWindowHandle w) override { return Windows.at(w).Class; }
    std::string WindowText(TWindowHandle w) override { return Windows.at(w).Text; }
    bool IsWindow(TWindowHandle w) override { return Windows.count(w) > 0; }
    void HideWindow(TWindowHandle w) override { Windows.at(w).Visible = false; }
    void SetWindowText(TWindowHandle w, const std::string& text) override {
        Windows.at(w).Text = text;
    }
    std::string Text(TWindowHandle w) { return Cp932ToUtf8(Windows.at(w).Text); }
};

TEST(DirDialogAdjustment, HidesTheFileControlsAndRelabelsAtTheFirstFolderChange) {
    TWindowsDialog platform;
    TDirDialog dialog(platform);
    EXPECT_FALSE(dialog.Choose());  // no answer: cancelled
    EXPECT_FALSE(dialog.AdjustPending());
    for (TWindowHandle h : {10, 11, 12, 13}) {
        EXPECT_FALSE(platform.Windows[h].Visible) << h;
    }
    for (TWindowHandle h : {14, 15, 16, 17}) {
        EXPECT_TRUE(platform.Windows[h].Visible) << h;
    }
    EXPECT_EQ(platform.Text(12), "");
    EXPECT_EQ(platform.Text(13), "");
    EXPECT_EQ(platform.Text(14), "フォルダの場所(&I)");
    EXPECT_EQ(platform.Text(15), "OK");
    EXPECT_EQ(platform.Text(16), "キャンセル");
    EXPECT_EQ(DialogControls().OpenButtonHandle, 15u);
}

TEST(DirDialogAdjustment, OnlyWhenAllSixControlsAreFound) {
    const struct {
        const char* title;
        std::string notifications;
        TWindowHandle relabel;  // a control that reads otherwise; 0: none
        bool adjusted;
    } cases[] = {
        {"before the show: nothing to adjust yet, the next change does it", "fsf", 0, true},
        {"a folder change before the show only", "fs", 0, false},
        {"a dialog in another language", "sf", 14, false},
        {"no show notification", "ff", 0, false},
    };
    for (const auto& c : cases) {
        TWindowsDialog platform;
        platform.Notifications = c.notifications;
        if (c.relabel) {
            platform.Windows[c.relabel].Text = "Look in:";
        }
        TDirDialog dialog(platform);
        dialog.Choose();
        EXPECT_EQ(!platform.Windows[10].Visible, c.adjusted) << c.title;
        EXPECT_EQ(platform.Text(15) == "OK", c.adjusted) << c.title;
        EXPECT_EQ(dialog.AdjustPending(), !c.adjusted) << c.title;
    }
}

TEST(DirDialogAdjustment, MadeOncePerChoose) {
    TWindowsDialog platform;
    platform.Notifications = "sff";
    TDirDialog dialog(platform);
    dialog.Choose();
    platform.Windows[15].Text = Utf8ToCp932("開く(&O)");
    dialog.FolderChanged();  // opening further folders changes nothing more
    EXPECT_EQ(platform.Text(15), "開く(&O)");
}

TEST(DirDialogAdjustment, RecordsTheLastWindowOfEachKindAndOnlyForValueOne) {
    TWindowsDialog platform;
    platform.Windows[30] = {"Edit", "second box"};
    TDirDialog dialog(platform);
    EXPECT_TRUE(dialog.RecordDialogControl(10, 2));
    EXPECT_EQ(DialogControls().FileNameEditHandle, 0u);
    EXPECT_TRUE(dialog.FindDialogControls(1));
    EXPECT_EQ(DialogControls().FileNameEditHandle, 30u);
    EXPECT_FALSE(dialog.FindDialogControls(0));
    // Each creation forgets the windows found before.
    TDirDialog again(platform);
    EXPECT_EQ(DialogControls().FileNameEditHandle, 0u);
}

// ---- The folder button of the main window

class FolderButton : public ::testing::Test {
  protected:
    void SetUp() override {
        TForm1::SetIniFileOverride(temp.path() / "quorvantel.ini");
        Prefs = TPrefs{};
    }
    void TearDown() override {
        TForm1::SetIniFileOverride(std::nullopt);
        Prefs = TPrefs{};
    }
    TempDir temp;
};

TEST_F(FolderButton, ConfirmSetsTheFolderWithoutReadingItAndCancelKeepsIt) {
    const fs::path folder = temp.path() / "受信箱";
    fs::create_directories(folder);
    TMemoryWindow w;
    w.Create();
    w.View.Chooser.Answers.push_back({true, (folder / "Dummy.dat").string()});
    w.Do(&TForm1::B_SETFOLDERClick);
    EXPECT_EQ(w.View.Chooser.LastTitle, Utf8ToCp932("フォルダの選択"));
    EXPECT_EQ(w.View.EditText(TEditBox::Edit1), PathToCp932(folder));
    EXPECT_EQ(w.Form.Book(), nullptr);  // read only by the read button
    EXPECT_TRUE(w.View.Nodes.empty());

    w.Do(&TForm1::B_SETFOLDERClick);  // cancelled
    EXPECT_EQ(w.View.Chooser.Runs, 2);
    EXPECT_EQ(w.View.EditText(TEditBox::Edit1), PathToCp932(folder));
    EXPECT_TRUE(w.Reports.empty());
}

TEST_F(FolderButton, AFolderThatCp932CannotNameIsReportedAndEdit1KeepsItsText) {
    // Korean, an emoji and a Latin letter that Shift-JIS lacks; and bytes
    // that are no UTF-8 at all.
    for (const std::string name : {"한국어", "寿司🍣", "Café", "bad\xff"}) {
        const fs::path folder = temp.path() / name;
        ASSERT_TRUE(fs::create_directories(folder)) << name;
        TMemoryWindow w;
        w.Create();
        const std::string before = w.View.EditText(TEditBox::Edit1);
        w.View.Chooser.Answers.push_back({true, (folder / "Dummy.dat").string()});
        w.Do(&TForm1::B_SETFOLDERClick);
        EXPECT_EQ(w.View.EditText(TEditBox::Edit1), before) << name;
        ASSERT_EQ(w.Reports.size(), 1u) << name;
        const std::string shown = name == "bad\xff" ? "bad\xEF\xBF\xBD" : name;
        EXPECT_EQ(w.Reports[0], "フォルダ「" + folder.parent_path().string() + "/" + shown +
                                    "」の名前には Shift-JIS (コードページ 932) で表せない文字が"
                                    "含まれているため、メールフォルダにできません。フォルダの名前"
                                    "を変えるか、別のフォルダを選んでください.")
            << name;
        EXPECT_EQ(w.Form.Book(), nullptr);
    }
}

}  // namespace
