// The main window's behaviour through the in-memory face: start-up with and
// without preferences, the saved file, the tree and the list of a mail
// folder, double-click, properties, re-reading, the layout rule, errors.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "core/Encoding.h"
#include "core/GroupTree.h"
#include "tests/support/MemoryWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/ErrorReport.h"

namespace {

namespace fs = std::filesystem;
using Row = TMemoryForm1View::TRow;
using Nodes = std::vector<std::pair<std::string, int>>;

const fs::path kSample = fs::path(QUORVANTEL_EXAMPLES_DIR) / "mailbox";

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ini_ = temp_.path() / "quorvantel.ini";
        TForm1::SetIniFileOverride(ini_);
        Prefs = TPrefs{};
    }
    void TearDown() override {
        window_.reset();
        TForm1::SetIniFileOverride(std::nullopt);
        Prefs = TPrefs{};
    }

    void WriteIni(const std::string& bytes) { WriteAll(ini_, bytes); }
    static std::string FolderLine(const fs::path& folder) {
        return "MailFolder: " + PathToCp932(folder) + "\r\n";
    }
    TMemoryWindow& Start() {
        window_.reset();
        window_ = std::make_unique<TMemoryWindow>();
        window_->Create();
        return *window_;
    }
    TMemoryForm1View& View() { return window_->View; }
    std::array<int, 4> Edges() {
        return {View().Left(), View().Top(), View().Width(), View().Height()};
    }
    fs::path CopySample() {
        const fs::path copy = temp_.path() / "mailbox";
        fs::copy(kSample, copy, fs::copy_options::recursive);
        return copy;
    }

    TempDir temp_;
    fs::path ini_;
    std::unique_ptr<TMemoryWindow> window_;
};

// ---- Start-up and the preferences file

TEST_F(MainWindowTest, FirstStartWithoutPreferencesWritesTheExampleFile) {
    TMemoryWindow& w = Start();
    EXPECT_EQ(View().Edit(TEditBox::Edit1), "設定されていません");
    EXPECT_EQ(View().Edit(TEditBox::Edit2), "> ");
    EXPECT_EQ(View().Column(0), "名前");
    EXPECT_EQ(View().Column(1), "");
    EXPECT_TRUE(View().Nodes.empty());
    EXPECT_EQ(w.Form.Book(), nullptr);
    EXPECT_TRUE(View().RadioChecked(TRadioButton::RB_NewWin));
    EXPECT_FALSE(View().RadioChecked(TRadioButton::RB_ExistWin));
    EXPECT_EQ(View().Label(TLabelControl::ver_label), "ver. 0.99 by");
    EXPECT_EQ(View().WindowCaption(), "アドレス帳  ver. 0.99");
    EXPECT_EQ(Prefs.List2ndItem, "");
    EXPECT_EQ(Prefs.MailAddressOnly, "");
    EXPECT_EQ(Edges(), (std::array{552, 7, 458, 447}));
    EXPECT_TRUE(w.Reports.empty());
    EXPECT_FALSE(fs::exists(ini_));

    w.Destroy();  // FormDestroy saves
    EXPECT_EQ(ReadAll(ini_), "MailFolder: " + Sjis("設定されていません") +
                                 "\r\n"
                                 "QuoteString: '> '\r\n"
                                 "List2ndItem: \r\n"
                                 "MailAddressOnly: \r\n"
                                 "WindowLocation: 552,7\r\n"
                                 "WindowSize: 458,447\r\n"
                                 "UseAppendMode: NO\r\n");
}

TEST_F(MainWindowTest, PreferencesFileSetsControlsAndDefaults) {
    const struct {
        const char* file;
        const char* caption;
        std::array<int, 4> bounds;
    } cases[] = {
        {"WindowSize: 500,400\r\n", "メールアドレス", {552, 7, 500, 400}},
        {"List2ndItem: memo\r\nWindowLocation: $10,0x20\r\n", "メモ", {16, 32, 458, 447}},
        {"List2ndItem: NAME\r\nWindowSize: 100,100\r\n", "", {552, 7, 455, 320}},
        {"WindowLocation: -4,-4\r\n", "メールアドレス", {-4, -4, 458, 447}},
    };
    for (const auto& c : cases) {
        window_.reset();  // its save would overwrite the file
        Prefs = TPrefs{};
        WriteIni(c.file);
        TMemoryWindow& w = Start();
        EXPECT_EQ(View().Edit(TEditBox::Edit1), "") << c.file;
        EXPECT_EQ(View().Edit(TEditBox::Edit2), "> ") << c.file;
        EXPECT_EQ(View().Column(1), c.caption) << c.file;
        EXPECT_EQ(Prefs.MailAddressOnly, "YES") << c.file;
        EXPECT_EQ(Edges(), c.bounds) << c.file;
        EXPECT_TRUE(w.Reports.empty()) << c.file;
    }
}

TEST_F(MainWindowTest, WindowOffEveryScreenComesBackOntoThePrimaryOne) {
    const struct {
        const char* location;
        std::array<int, 2> at;
    } cases[] = {
        {"20000,-20000", {1280 - 458, 0}},
        {"2147483647,2147483647", {1280 - 458, 1000 - 447}},
        {"-2147483648,0", {0, 0}},
        {"-457,-446", {-457, -446}},  // one pixel still shows: left alone
        {"1500,10", {1500, 10}},      // on the second screen
    };
    for (const auto& c : cases) {
        window_.reset();
        WriteIni(std::string("WindowLocation: ") + c.location + "\r\n");
        window_ = std::make_unique<TMemoryWindow>();
        View().ScreenList = {{0, 0, 1280, 1024}, {1280, 0, 1024, 768}};
        window_->Create();
        EXPECT_EQ((std::array{View().Left(), View().Top()}), c.at) << c.location;
    }
}

TEST_F(MainWindowTest, SavedFileIsNormalisedAndWrittenTwiceByTheCloseButton) {
    WriteIni("MailFolder : " + Sjis("設定されていません") +
             "  \r\n"
             "QuoteString: \"# \"\r\n"
             "mailaddressonly: yes\r\n"
             "MailAddressOnly: no\r\n"
             "List2ndItem: Memo\r\n"
             "WindowSize: 0x1F4,400\r\n"
             "WindowLocation: 10 , 20\r\n"
             "UseAppendMode: yes\r\n"
             "\r\n   \r\n");
    TMemoryWindow& w = Start();
    EXPECT_TRUE(Prefs.UseAppendMode);
    w.Do(&TForm1::B_QUITClick);  // saves, then closes
    EXPECT_TRUE(View().Closed);
    const std::string expected = "MailFolder: " + Sjis("設定されていません") +
                                 "\r\n"
                                 "QuoteString: '# '\r\n"
                                 "List2ndItem: MEMO\r\n"
                                 "MailAddressOnly: NO\r\n"
                                 "WindowLocation: 10,20\r\n"
                                 "WindowSize: 500,400\r\n"
                                 "UseAppendMode: YES\r\n";
    EXPECT_EQ(ReadAll(ini_), expected);
    fs::remove(ini_);
    w.Destroy();  // and saves again at destruction, the same bytes
    EXPECT_EQ(ReadAll(ini_), expected);
}

TEST_F(MainWindowTest, FailedSaveKeepsTheWindowOpenAndIsReported) {
    WriteAll(temp_.path() / "blocker", "a file, not a directory");
    TForm1::SetIniFileOverride(temp_.path() / "blocker" / "quorvantel.ini");
    TMemoryWindow& w = Start();
    w.Do(&TForm1::B_QUITClick);
    ASSERT_EQ(w.Reports.size(), 1u);
    EXPECT_EQ(w.Reports[0], "不正なファイル名です.");
    EXPECT_FALSE(View().Closed);
    w.Destroy();  // the save at destruction fails too, and is reported
    EXPECT_EQ(w.Reports.size(), 2u);
}

TEST_F(MainWindowTest, PreferencesLiveBesideTheExecutableWhereAFileCanBeMade) {
    const fs::path exeDir = temp_.path() / "bin";
    const fs::path config = temp_.path() / "config";
    fs::create_directories(exeDir);
    TMemoryWindow& w = Start();
    View().ExePath = exeDir / "quorvantel";
    View().ConfigDir = config;
    TForm1::SetIniFileOverride(std::nullopt);
    EXPECT_EQ(w.Form.getIniFileName(), exeDir / "quorvantel.ini");
    EXPECT_TRUE(fs::is_empty(exeDir)) << "the probe file stays behind";

    // A directory no file can be made in: the user's configuration directory,
    // unless a preferences file already stands beside the executable.
    View().ExePath = temp_.path() / "missing" / "quorvantel";
    EXPECT_EQ(w.Form.getIniFileName(), config / "quorvantel" / "quorvantel.ini");
    TForm1::SetIniFileOverride(ini_);  // the save at destruction stays in the temp dir
}

TEST_F(MainWindowTest, BadWindowLineIsReportedAndTheRestStillApplies) {
    WriteIni("WindowLocation: 100,abc\r\n" + FolderLine(kSample) +
             "WindowSize: 600\r\nQuoteString: '>> '\r\n");
    TMemoryWindow& w = Start();
    EXPECT_EQ(w.Reports,
              (std::vector<std::string>{"'abc' は整数ではありません.",
                                        "リストのインデックスが範囲を超えています (0)"}));
    EXPECT_EQ(View().Left(), 100);
    EXPECT_EQ(View().EditText(TEditBox::Edit1), PathToCp932(kSample));
    EXPECT_EQ(View().Edit(TEditBox::Edit2), ">> ");
    EXPECT_FALSE(View().Nodes.empty());
    EXPECT_TRUE(View().RadioChecked(TRadioButton::RB_NewWin));
    EXPECT_EQ(View().WindowCaption(), "アドレス帳  ver. 0.99");
}

#ifdef __linux__
// /proc/self/mem is a regular file whose first bytes cannot be read (EIO).
TEST_F(MainWindowTest, ErrorDuringCreationSkipsTheLaterSteps) {
    fs::create_symlink("/proc/self/mem", ini_);
    TMemoryWindow& w = Start();
    ASSERT_EQ(w.Reports.size(), 1u);
    EXPECT_EQ(w.Reports[0].rfind("I/O エラー", 0), 0u) << w.Reports[0];
    EXPECT_EQ(View().Edit(TEditBox::Edit1), "設定されていません");
    EXPECT_FALSE(View().RadioChecked(TRadioButton::RB_NewWin));
    EXPECT_FALSE(View().RadioChecked(TRadioButton::RB_ExistWin));
    EXPECT_EQ(View().Label(TLabelControl::ver_label), "ver. xxx by");
    EXPECT_EQ(View().WindowCaption(), "アドレス帳");
    fs::remove(ini_);
}

TEST_F(MainWindowTest, FolderThatFailsToLoadLeavesTheTreeEmpty) {
    const fs::path folder = temp_.path() / "broken";
    fs::create_directories(folder);
    fs::create_symlink("/proc/self/mem", folder / "card.dat");
    WriteIni(FolderLine(folder));
    TMemoryWindow& w = Start();
    EXPECT_EQ(w.Reports.size(), 1u);
    ASSERT_NE(w.Form.Book(), nullptr);  // the new book stays current
    EXPECT_TRUE(View().Nodes.empty());
    EXPECT_FALSE(View().Expanded);
    EXPECT_FALSE(View().RadioChecked(TRadioButton::RB_NewWin));
    EXPECT_EQ(View().WindowCaption(), "アドレス帳");
}
#endif

// ---- The mail folder in the tree and the list

TEST_F(MainWindowTest, SampleFolderFillsTheTreeDepthFirst) {
    WriteIni(FolderLine(kSample));
    Start();
    EXPECT_EQ(View().TreeTexts(), (Nodes{{"\\", 0},
                                         {"家族", 1},
                                         {"仕事", 1},
                                         {"開発部", 2},
                                         {"基盤チーム", 3},
                                         {"取引先", 2},
                                         {"友人", 1},
                                         {"山歩きの会", 2},
                                         {"趣味", 1},
                                         {"山歩きの会", 2}}));
    for (size_t i = 0; i < View().Nodes.size(); ++i) {
        EXPECT_EQ(View().Nodes[i].Image, i == 0 ? 2 : 0) << i;
        EXPECT_EQ(View().Nodes[i].SelectedImage, i == 0 ? 2 : 3) << i;
    }
    EXPECT_TRUE(View().Expanded);
    EXPECT_EQ(View().Updating, 0);
    EXPECT_EQ(View().Selected, -1);
    EXPECT_TRUE(View().Items.empty());
}

TEST_F(MainWindowTest, SelectingAGroupListsItsMembers) {
    const struct {
        const char* list2nd;
        std::vector<Row> rows;
    } cases[] = {
        {"ADDRESS",
         {{"中村 美咲", "misaki.nakamura@example.com", 1},
          {"小川 大介", "daisuke.ogawa@example.jp", 1},
          {"岡田 真理", "mari.okada@example.com", 1},
          {"藤田 修", "osamu.fujita@example.jp", 1},
          {"鈴木 一郎", "", 1},
          {"山歩きの会", "", 0}}},
        {"OTHER",
         {{"中村 美咲", "", 1},
          {"小川 大介", "", 1},
          {"岡田 真理", "", 1},
          {"藤田 修", "", 1},
          {"鈴木 一郎", "", 1},
          {"山歩きの会", "", 0}}},
    };
    for (const auto& c : cases) {
        window_.reset();
        Prefs = TPrefs{};
        WriteIni(FolderLine(kSample) + "List2ndItem: " + c.list2nd + "\r\n");
        Start();
        View().SelectNode("友人");
        EXPECT_EQ(View().Rows(), c.rows) << c.list2nd;
    }
}

TEST_F(MainWindowTest, MemoColumnAndRootListing) {
    WriteIni(FolderLine(kSample) + "List2ndItem: MEMO\r\n");
    Start();
    View().SelectNode("家族");
    const std::vector<Row> rows = View().Rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], (Row{"佐藤 美和子", "妻", 1}));
    EXPECT_EQ(rows[3], (Row{"佐藤 正雄", "父 メールなし、連絡は電話で", 1}));

    View().SelectNode("\\");  // the root lists the members of "\"
    EXPECT_EQ(
        View().Rows(),
        (std::vector<Row>{{"家族", "", 0}, {"仕事", "", 0}, {"友人", "", 0}, {"趣味", "", 0}}));
}

TEST_F(MainWindowTest, DoubleClickMovesToTheFirstNodeOfAGroup) {
    WriteIni(FolderLine(kSample));
    TMemoryWindow& w = Start();
    View().SelectNode("趣味");
    const int hobby = View().Selected;
    ASSERT_EQ(View().Rows().back().Caption, "山歩きの会");

    View().SelectRows({0});  // a card: nothing happens
    w.Do(&TForm1::ListView1DblClick);
    EXPECT_EQ(View().Selected, hobby);

    View().SelectRows({0, static_cast<int>(View().Items.size()) - 1});  // the first counts
    w.Do(&TForm1::ListView1DblClick);
    EXPECT_EQ(View().Selected, hobby);

    View().SelectRows({static_cast<int>(View().Items.size()) - 1});
    w.Do(&TForm1::ListView1DblClick);
    EXPECT_EQ(View().Selected, 7);  // the first 山歩きの会, under 友人
    EXPECT_EQ(View().Rows().front().Caption, "長谷川 聡");
    EXPECT_EQ(View().Rows().size(), 4u);

    View().SelectRows({});
    w.Do(&TForm1::ListView1DblClick);
    EXPECT_EQ(View().Selected, 7);
}

TEST_F(MainWindowTest, PropertiesTakeTheFirstSelectedRow) {
    WriteIni(FolderLine(kSample));
    TMemoryWindow& w = Start();
    View().SelectNode("友人");

    w.Do(&TForm1::Property1Click);  // nothing selected
    EXPECT_EQ(w.Form.PropertyCard, TCard{});
    EXPECT_FALSE(w.View2.Visible);

    View().SelectRows({5, 1});
    w.Do(&TForm1::Property1Click);
    EXPECT_EQ(w.Form.PropertyCard.Nickname, Sjis("小川 大介"));
    EXPECT_EQ(w.Form.PropertyCard.Address, "daisuke.ogawa@example.jp");
    EXPECT_TRUE(w.View2.Visible);

    View().SelectRows({5});
    w.Do(&TForm1::Property1Click);
    EXPECT_EQ(w.Form.PropertyCard, (TCard{Sjis("山歩きの会"), "", "", "", "", ""}));
}

TEST_F(MainWindowTest, ReadingAgainMakesANewBookWithoutSelection) {
    const fs::path folder = CopySample();
    WriteIni(FolderLine(folder));
    TMemoryWindow& w = Start();
    View().SelectNode("家族");
    ASSERT_FALSE(View().Items.empty());

    WriteAll(folder / "group.dat", "Name: \\\r\nEntry: X\r\n.\r\nName: X\r\n.\r\n");
    w.Do(&TForm1::B_READClick);
    ASSERT_NE(w.Form.Book(), nullptr);
    EXPECT_EQ(w.Form.Book()->Groups().size(), 2u);
    EXPECT_EQ(View().TreeTexts(), (Nodes{{"\\", 0}, {"X", 1}}));
    EXPECT_EQ(View().Selected, -1);
    EXPECT_TRUE(View().Items.empty());

    // The folder vanishes: tree and list empty, no message, the book stays.
    View().SelectNode("X");
    const TAddressBook* second = w.Form.Book();
    fs::remove_all(folder);
    w.Do(&TForm1::B_READClick);
    EXPECT_TRUE(View().Nodes.empty());
    EXPECT_TRUE(View().Items.empty());
    EXPECT_EQ(w.Form.Book(), second);
    EXPECT_TRUE(w.Reports.empty());
}

TEST_F(MainWindowTest, EmptyFolderGivesOnlyTheRoot) {
    fs::create_directories(temp_.path() / "empty");
    WriteIni(FolderLine(temp_.path() / "empty"));
    Start();
    EXPECT_EQ(View().TreeTexts(), (Nodes{{"\\", 0}}));
    View().SelectNode("\\");
    EXPECT_TRUE(View().Items.empty());
}

TEST_F(MainWindowTest, GroupCyclesEndOnThePath) {
    const fs::path folder = temp_.path() / "cycle";
    WriteAll(folder / "group.dat",
             "Name: \\\r\nEntry: A\r\n.\r\n"
             "Name: A\r\nEntry: B,\r\n  \\\r\n.\r\n"
             "Name: B\r\nEntry: A,\r\n  C,\r\n  B\r\n.\r\n"
             "Name: C\r\nEntry: x\r\n.\r\n");
    WriteIni(FolderLine(folder));
    Start();
    EXPECT_EQ(View().TreeTexts(), (Nodes{{"\\", 0}, {"A", 1}, {"B", 2}, {"C", 3}}));
}

TEST_F(MainWindowTest, FanOutOfSharedGroupsStaysBounded) {
    // Every level holds both groups of the next: 2^30 paths, no cycle.
    std::string groups = "Name: \\\r\nEntry: a0,\r\n  b0\r\n.\r\n";
    for (int level = 0; level < 30; ++level) {
        const std::string next = std::to_string(level + 1);
        for (const char* side : {"a", "b"}) {
            groups += "Name: " + std::string(side) + std::to_string(level) + "\r\nEntry: a" + next +
                      ",\r\n  b" + next + "\r\n.\r\n";
        }
    }
    const fs::path folder = temp_.path() / "fan";
    WriteAll(folder / "group.dat", groups);
    WriteIni(FolderLine(folder));
    TMemoryWindow& w = Start();
    // The tree stops at its bound and says so once.
    EXPECT_EQ(View().Nodes.size(), kMaxTreeNodes);
    EXPECT_EQ(w.Reports,
              (std::vector<std::string>{"グループの入れ子が多すぎるため、ツリーには最初の 100000 "
                                        "個だけを表示しています."}));
}

TEST_F(MainWindowTest, AddressOfSelectedRowsInListOrder) {
    WriteIni(FolderLine(kSample));
    TMemoryWindow& w = Start();
    View().SelectNode("基盤チーム");
    View().SelectRows({2, 0});
    // A file without MailAddressOnly gets "YES": bare addresses.
    EXPECT_EQ(w.Form.getAddress(),
              "shota.kato@minato-is.example.jp; takuya.yamamoto@minato-is.example.jp; ");
    Prefs.MailAddressOnly = "NO";
    EXPECT_EQ(Cp932ToUtf8(w.Form.getAddress()),
              "\"加藤 翔太\"<shota.kato@minato-is.example.jp>; "
              "\"山本 拓也\"<takuya.yamamoto@minato-is.example.jp>; ");
}

TEST(RecipientFormTest, BareAddressesExactlyWhenTheValueIsYes) {
    const std::pair<const char*, TRecipientForm> cases[] = {
        {"YES", TRecipientForm::AddressOnly}, {"yes", TRecipientForm::QuotedName},
        {"NO", TRecipientForm::QuotedName},   {"", TRecipientForm::QuotedName},
        {"YES ", TRecipientForm::QuotedName},
    };
    for (const auto& [value, form] : cases) {
        TPrefs prefs;
        prefs.MailAddressOnly = value;
        EXPECT_EQ(RecipientForm(prefs), form) << value;
    }
}

// ---- Layout

TEST_F(MainWindowTest, LayoutFollowsTheClientArea) {
    TMemoryWindow& w = Start();
    const struct {
        int cw, ch;
        TBounds tree, list;
        int panelTop;
    } cases[] = {
        {450, 420, {10, 10, 210, 205}, {230, 10, 210, 205}, 225},
        {451, 420, {10, 10, 210, 205}, {230, 10, 210, 205}, 225},  // 11 pixels right
        {458, 447, {10, 10, 214, 232}, {234, 10, 214, 232}, 252},
        {455, 320, {10, 10, 212, 105}, {232, 10, 212, 105}, 125},
    };
    // A frame makes the client area smaller than the outer bounds.
    View().FrameWidth = 8;
    View().FrameHeight = 30;
    for (const auto& c : cases) {
        View().Resize(c.cw + 8, c.ch + 30);
        EXPECT_EQ(View().Bounds(TLayoutControl::TreeView1), c.tree) << c.cw << "x" << c.ch;
        EXPECT_EQ(View().Bounds(TLayoutControl::ListView1), c.list) << c.cw << "x" << c.ch;
        EXPECT_EQ(View().Bounds(TLayoutControl::Panel1), (TBounds{8, c.panelTop, 435, 185}));
    }
    EXPECT_TRUE(w.Reports.empty());
}

// ---- Credit label

TEST_F(MainWindowTest, CreditLabelHighlightsAndOpensTheMailLink) {
    TMemoryWindow& w = Start();
    w.Do(&TForm1::Label4MouseMove);
    EXPECT_EQ(View().LabelColors[TLabelControl::Label4], TSystemColor::InfoBk);
    w.Do(&TForm1::FormMouseMove);
    EXPECT_EQ(View().LabelColors[TLabelControl::Label4], TSystemColor::BtnFace);
    w.Do(&TForm1::Label4Click);
    EXPECT_EQ(View().OpenedLinks, (std::vector<std::string>{"mailto:quorvantel@example.jp"}));
}

// ---- Error report

TEST(ErrorReportTest, FullStopAfterTheMessage) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"abc", "abc."},
        {"abc.", "abc."},
        {"abc!", "abc!"},
        {"", ""},
        {"ファイルが見つかりません", "ファイルが見つかりません."},
        {"I/O エラー (32)", "I/O エラー (32)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportText(c.message), c.shown) << c.message;
    }
}

TEST(ErrorReportTest, GuardedReportsWhateverIsThrown) {
    std::vector<std::string> shown;
    SetErrorReporter([&](const std::string& text) { shown.push_back(text); });
    Guarded([] { throw std::runtime_error("x"); });
    Guarded([] { throw 42; });
    bool ran = false;
    Guarded([&] { ran = true; });
    SetErrorReporter(nullptr);
    EXPECT_TRUE(ran);
    EXPECT_EQ(shown, (std::vector<std::string>{"x.", "予期しないエラーが発生しました."}));
}

TEST(ErrorReportTest, CaptionIsTheFileNameUpToItsFirstDot) {
    const struct {
        const char* file;
        const char* title;
    } cases[] = {
        {"quorvantel", "Quorvantel"},
        {"quorvantel.exe", "Quorvantel"},
        {"QUORVANTEL.EXE", "Quorvantel"},
        {"quor.vantel.exe", "Quor"},
        {"", "Quorvantel"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplicationTitle(c.file), c.title) << c.file;
    }
}

}  // namespace
