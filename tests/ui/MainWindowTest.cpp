// The main window: start-up with and without preferences, the saved file, the
// tree and the list of a mail folder, double-click, re-reading, layout, errors.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

#include "Encoding.h"
#include "ErrorReport.h"
#include "GroupTree.h"
#include "Prefs.h"
#include "UiTestFiles.h"
#include "Unit1.h"

namespace {

using uitest::Q;
using uitest::ReadAll;
using uitest::WriteAll;

namespace fs = std::filesystem;

std::string Sj(const char* utf8) {
    return Utf8ToCp932(utf8);
}
const fs::path kSample = fs::path(QUORVANTEL_EXAMPLES_DIR) / "mailbox";

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        dir_ = fs::path(temp_.path().toStdString());
        ini_ = dir_ / "quorvantel.ini";
        TForm1::SetIniFileOverride(ini_);
        SetErrorReporter([this](const QString& text) { reports_.push_back(text); });
        Prefs = TPrefs{};
    }
    void TearDown() override {
        form_.reset();
        TForm1::SetIniFileOverride(std::nullopt);
        SetErrorReporter(nullptr);
        Prefs = TPrefs{};
    }

    void WriteIni(const std::string& bytes) { WriteAll(ini_, bytes); }
    std::string FolderLine(const fs::path& folder) {
        return "MailFolder: " + PathToCp932(folder) + "\r\n";
    }
    TForm1& Start() {
        form_ = std::make_unique<TForm1>();
        return *form_;
    }
    TForm1& StartShown() {
        TForm1& form = Start();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        return form;
    }

    // Node texts (UTF-8) in tree order with their depth.
    std::vector<std::pair<QString, int>> TreeNodes() {
        std::vector<std::pair<QString, int>> out;
        for (const auto& node : form_->TreeModel()->Nodes()) {
            int depth = 0;
            for (int p = node.Parent; p >= 0; p = form_->TreeModel()->Nodes()[p].Parent)
                ++depth;
            out.emplace_back(QString::fromStdString(Cp932ToUtf8(node.Name)), depth);
        }
        return out;
    }
    int NodeNamed(const char* utf8, int nth = 0) {
        const auto& nodes = form_->TreeModel()->Nodes();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].Name == Sj(utf8) && nth-- == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
    void SelectNode(int node) {
        form_->TreeView1->setCurrentIndex(form_->TreeModel()->IndexOf(node));
    }
    struct Row {
        QString caption;
        QString second;
        int image;
        bool operator==(const Row&) const = default;
    };
    std::vector<Row> ListRows() {
        std::vector<Row> rows;
        const QAbstractItemModel* model = form_->ListView1->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            rows.push_back({model->index(r, 0).data().toString(),
                            model->index(r, 1).data().toString(),
                            model->index(r, 0).data(kImageIndexRole).toInt()});
        }
        return rows;
    }
    QString Caption(int column) {
        return form_->ListView1->model()->headerData(column, Qt::Horizontal).toString();
    }
    void SelectRows(std::initializer_list<int> rows) {
        auto* selection = form_->ListView1->selectionModel();
        selection->clearSelection();
        for (int r : rows) {
            selection->select(form_->ListView1->model()->index(r, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void DoubleClickRow(int row) {
        SelectRows({row});
        const QRect rect = form_->ListView1->visualRect(form_->ListView1->model()->index(row, 0));
        QTest::mouseDClick(form_->ListView1->viewport(), Qt::LeftButton, {}, rect.center());
    }
    fs::path CopySample() {
        const fs::path copy = dir_ / "mailbox";
        fs::copy(kSample, copy, fs::copy_options::recursive);
        return copy;
    }

    QTemporaryDir temp_;
    fs::path dir_;
    fs::path ini_;
    std::vector<QString> reports_;
    std::unique_ptr<TForm1> form_;
};

// ---- Start-up

TEST_F(MainWindowTest, FirstStartWithoutPreferencesWritesTheExampleFile) {
    TForm1& form = Start();
    EXPECT_EQ(form.Edit1->text(), Q("設定されていません"));
    EXPECT_EQ(form.Edit2->text(), Q("> "));
    EXPECT_EQ(Caption(0), Q("名前"));
    EXPECT_EQ(Caption(1), QString());
    EXPECT_EQ(form.TreeModel()->rowCount(), 0);
    EXPECT_EQ(form.Book(), nullptr);
    EXPECT_TRUE(form.RB_NewWin->isChecked());
    EXPECT_FALSE(form.RB_ExistWin->isChecked());
    EXPECT_EQ(form.ver_label->text(), Q("ver. 0.99 by"));
    EXPECT_EQ(form.windowTitle(), Q("アドレス帳  ver. 0.99"));
    EXPECT_EQ(Prefs.List2ndItem, "");
    EXPECT_EQ(Prefs.MailAddressOnly, "");
    EXPECT_EQ((std::array{form.Left(), form.Top(), form.Width(), form.Height()}),
              (std::array{552, 7, 458, 447}));
    EXPECT_TRUE(reports_.empty());
    EXPECT_FALSE(fs::exists(ini_));

    form_.reset();  // FormDestroy saves
    EXPECT_EQ(ReadAll(ini_), "MailFolder: " + Sj("設定されていません") +
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
        Prefs = TPrefs{};
        WriteIni(c.file);
        TForm1& form = Start();
        EXPECT_EQ(form.Edit1->text(), QString()) << c.file;
        EXPECT_EQ(form.Edit2->text(), Q("> ")) << c.file;
        EXPECT_EQ(Caption(1), Q(c.caption)) << c.file;
        EXPECT_EQ(Prefs.MailAddressOnly, "YES") << c.file;
        EXPECT_EQ((std::array{form.Left(), form.Top(), form.Width(), form.Height()}), c.bounds)
            << c.file;
        EXPECT_TRUE(reports_.empty()) << c.file;
    }
}

TEST_F(MainWindowTest, WindowOffEveryScreenComesBack) {
    for (const char* location : {"20000,-20000", "2147483647,2147483647", "-2147483648,0"}) {
        WriteIni(std::string("WindowLocation: ") + location + "\r\n");
        TForm1& form = Start();
        const QRect frame(form.Left(), form.Top(), form.Width(), form.Height());
        EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(frame))
            << location;
    }
}

TEST_F(MainWindowTest, SavedFileIsNormalised) {
    WriteIni("MailFolder : " + Sj("設定されていません") +
             "  \r\n"
             "QuoteString: \"# \"\r\n"
             "mailaddressonly: yes\r\n"
             "MailAddressOnly: no\r\n"
             "List2ndItem: Memo\r\n"
             "WindowSize: 0x1F4,400\r\n"
             "WindowLocation: 10 , 20\r\n"
             "UseAppendMode: yes\r\n"
             "\r\n   \r\n");
    TForm1& form = Start();
    EXPECT_TRUE(Prefs.UseAppendMode);
    form.show();
    QSignalSpy closed(&form, &TForm1::Closed);
    QTest::mouseClick(form.B_QUIT, Qt::LeftButton);  // saves, then closes
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.isVisible());
    const std::string expected = "MailFolder: " + Sj("設定されていません") +
                                 "\r\n"
                                 "QuoteString: '# '\r\n"
                                 "List2ndItem: MEMO\r\n"
                                 "MailAddressOnly: NO\r\n"
                                 "WindowLocation: 10,20\r\n"
                                 "WindowSize: 500,400\r\n"
                                 "UseAppendMode: YES\r\n";
    EXPECT_EQ(ReadAll(ini_), expected);
    fs::remove(ini_);
    form_.reset();  // and saves again at destruction, the same bytes
    EXPECT_EQ(ReadAll(ini_), expected);
}

TEST_F(MainWindowTest, FailedSaveKeepsTheWindowOpenAndIsReported) {
    WriteAll(dir_ / "blocker", "a file, not a directory");
    TForm1::SetIniFileOverride(dir_ / "blocker" / "quorvantel.ini");
    TForm1& form = StartShown();
    QTest::mouseClick(form.B_QUIT, Qt::LeftButton);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], Q("不正なファイル名です."));
    EXPECT_TRUE(form.isVisible());
    form_.reset();  // the save at destruction fails too, and is reported
    EXPECT_EQ(reports_.size(), 2u);
}

TEST_F(MainWindowTest, PreferencesLiveBesideTheExecutable) {
    TForm1& form = Start();
    TForm1::SetIniFileOverride(std::nullopt);
    const fs::path path = form.getIniFileName();
    TForm1::SetIniFileOverride(ini_);  // the save at destruction stays in the temp dir
    EXPECT_EQ(path.filename(), "quorvantel.ini");
    EXPECT_EQ(path.parent_path(), fs::path(QCoreApplication::applicationDirPath().toStdString()));
}

TEST_F(MainWindowTest, BadWindowLineIsReportedAndTheRestStillApplies) {
    WriteIni("WindowLocation: 100,abc\r\n" + FolderLine(kSample) +
             "WindowSize: 600\r\nQuoteString: '>> '\r\n");
    TForm1& form = Start();
    EXPECT_EQ(reports_, (std::vector<QString>{Q("'abc' は整数ではありません."),
                                              Q("リストのインデックスが範囲を超えています (0)")}));
    EXPECT_EQ(form.Left(), 100);
    EXPECT_EQ(form.Edit1->text().toStdString(), kSample.string());
    EXPECT_EQ(form.Edit2->text(), Q(">> "));
    EXPECT_GT(form.TreeModel()->rowCount(), 0);
    EXPECT_TRUE(form.RB_NewWin->isChecked());
    EXPECT_EQ(form.windowTitle(), Q("アドレス帳  ver. 0.99"));
}

#ifdef __linux__
// /proc/self/mem is a regular file whose first bytes cannot be read (EIO).
TEST_F(MainWindowTest, ErrorDuringCreationSkipsTheLaterSteps) {
    fs::create_symlink("/proc/self/mem", ini_);
    TForm1& form = Start();
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_TRUE(reports_[0].startsWith(Q("I/O エラー"))) << reports_[0].toStdString();
    EXPECT_EQ(form.Edit1->text(), Q("設定されていません"));
    EXPECT_FALSE(form.RB_NewWin->isChecked());
    EXPECT_FALSE(form.RB_ExistWin->isChecked());
    EXPECT_EQ(form.ver_label->text(), Q("ver. xxx by"));
    EXPECT_EQ(form.windowTitle(), Q("アドレス帳"));
    fs::remove(ini_);
}

TEST_F(MainWindowTest, FolderThatFailsToLoadLeavesTheTreeEmpty) {
    const fs::path folder = dir_ / "broken";
    fs::create_directories(folder);
    fs::create_symlink("/proc/self/mem", folder / "card.dat");
    WriteIni(FolderLine(folder));
    TForm1& form = Start();
    EXPECT_EQ(reports_.size(), 1u);
    ASSERT_NE(form.Book(), nullptr);  // the new book stays current
    EXPECT_EQ(form.TreeModel()->rowCount(), 0);
    EXPECT_FALSE(form.RB_NewWin->isChecked());
    EXPECT_EQ(form.windowTitle(), Q("アドレス帳"));
}
#endif

// ---- The mail folder in the tree and the list

TEST_F(MainWindowTest, SampleFolderFillsTheTreeDepthFirst) {
    WriteIni(FolderLine(kSample));
    TForm1& form = Start();
    using N = std::pair<QString, int>;
    EXPECT_EQ(TreeNodes(), (std::vector<N>{{Q("\\"), 0},
                                           {Q("家族"), 1},
                                           {Q("仕事"), 1},
                                           {Q("開発部"), 2},
                                           {Q("基盤チーム"), 3},
                                           {Q("取引先"), 2},
                                           {Q("友人"), 1},
                                           {Q("山歩きの会"), 2},
                                           {Q("趣味"), 1},
                                           {Q("山歩きの会"), 2}}));
    const auto& nodes = form.TreeModel()->Nodes();
    for (size_t i = 0; i < nodes.size(); ++i) {
        const QModelIndex index = form.TreeModel()->IndexOf(static_cast<int>(i));
        const int image = i == 0 ? 2 : 0;
        const int selected = i == 0 ? 2 : 3;
        EXPECT_EQ(index.data(kImageIndexRole).toInt(), image) << i;
        EXPECT_EQ(index.data(kSelectedImageIndexRole).toInt(), selected) << i;
        if (!nodes[i].Children.empty()) {
            EXPECT_TRUE(form.TreeView1->isExpanded(index)) << i;
        }
    }
    EXPECT_FALSE(form.TreeView1->selectionModel()->hasSelection());
    EXPECT_EQ(form.ListView1->model()->rowCount(), 0);
}

TEST_F(MainWindowTest, SelectingAGroupListsItsMembers) {
    const struct {
        const char* list2nd;
        std::vector<Row> rows;
    } cases[] = {
        {"ADDRESS",
         {{Q("中村 美咲"), Q("misaki.nakamura@example.com"), 1},
          {Q("小川 大介"), Q("daisuke.ogawa@example.jp"), 1},
          {Q("岡田 真理"), Q("mari.okada@example.com"), 1},
          {Q("藤田 修"), Q("osamu.fujita@example.jp"), 1},
          {Q("鈴木 一郎"), Q(""), 1},
          {Q("山歩きの会"), Q(""), 0}}},
        {"OTHER",
         {{Q("中村 美咲"), Q(""), 1},
          {Q("小川 大介"), Q(""), 1},
          {Q("岡田 真理"), Q(""), 1},
          {Q("藤田 修"), Q(""), 1},
          {Q("鈴木 一郎"), Q(""), 1},
          {Q("山歩きの会"), Q(""), 0}}},
    };
    for (const auto& c : cases) {
        Prefs = TPrefs{};
        WriteIni(FolderLine(kSample) + "List2ndItem: " + c.list2nd + "\r\n");
        Start();
        SelectNode(NodeNamed("友人"));
        std::vector<Row> rows = ListRows();
        EXPECT_EQ(rows, c.rows) << c.list2nd;
    }
}

TEST_F(MainWindowTest, MemoColumnAndRootListing) {
    WriteIni(FolderLine(kSample) + "List2ndItem: MEMO\r\n");
    Start();
    SelectNode(NodeNamed("家族"));
    const std::vector<Row> rows = ListRows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], (Row{Q("佐藤 美和子"), Q("妻"), 1}));
    EXPECT_EQ(rows[3], (Row{Q("佐藤 正雄"), Q("父 メールなし、連絡は電話で"), 1}));

    SelectNode(0);  // the root lists the members of "\"
    EXPECT_EQ(ListRows(), (std::vector<Row>{{Q("家族"), Q(""), 0},
                                            {Q("仕事"), Q(""), 0},
                                            {Q("友人"), Q(""), 0},
                                            {Q("趣味"), Q(""), 0}}));
}

TEST_F(MainWindowTest, DoubleClickMovesToTheFirstNodeOfAGroup) {
    WriteIni(FolderLine(kSample));
    TForm1& form = StartShown();
    SelectNode(NodeNamed("趣味"));
    ASSERT_EQ(ListRows().back().caption, Q("山歩きの会"));

    DoubleClickRow(0);  // a card: nothing happens
    EXPECT_EQ(form.TreeView1->currentIndex(), form.TreeModel()->IndexOf(NodeNamed("趣味")));

    DoubleClickRow(static_cast<int>(ListRows().size()) - 1);
    EXPECT_EQ(form.TreeView1->currentIndex(),
              form.TreeModel()->IndexOf(NodeNamed("山歩きの会", 0)));  // under 友人
    EXPECT_EQ(ListRows().front().caption, Q("長谷川 聡"));
    EXPECT_EQ(ListRows().size(), 4u);
}

TEST_F(MainWindowTest, PropertiesTakeTheFirstSelectedRow) {
    WriteIni(FolderLine(kSample));
    TForm1& form = StartShown();
    SelectNode(NodeNamed("友人"));

    form.Property1Click();  // nothing selected
    EXPECT_EQ(form.PropertyCard, TCard{});

    SelectRows({5, 1});
    form.Property1Click();
    EXPECT_EQ(form.PropertyCard.Nickname, Sj("小川 大介"));
    EXPECT_EQ(form.PropertyCard.Address, "daisuke.ogawa@example.jp");

    SelectRows({5});
    form.ListView1->setFocus();
    QTest::keyClick(form.ListView1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(form.PropertyCard, (TCard{Sj("山歩きの会"), "", "", "", "", ""}));
}

TEST_F(MainWindowTest, ReadingAgainMakesANewBookWithoutSelection) {
    const fs::path folder = CopySample();
    WriteIni(FolderLine(folder));
    TForm1& form = Start();
    SelectNode(NodeNamed("家族"));
    ASSERT_GT(ListRows().size(), 0u);

    WriteAll(folder / "group.dat", "Name: \\\r\nEntry: X\r\n.\r\nName: X\r\n.\r\n");
    QTest::mouseClick(form.B_READ, Qt::LeftButton);
    ASSERT_NE(form.Book(), nullptr);
    EXPECT_EQ(form.Book()->Groups().size(), 2u);
    EXPECT_EQ(TreeNodes(), (std::vector<std::pair<QString, int>>{{Q("\\"), 0}, {Q("X"), 1}}));
    EXPECT_FALSE(form.TreeView1->selectionModel()->hasSelection());
    EXPECT_EQ(ListRows().size(), 0u);

    // The folder vanishes: tree and list empty, no message, the book stays.
    SelectNode(NodeNamed("家族"));
    const TAddressBook* second = form.Book();
    fs::remove_all(folder);
    QTest::mouseClick(form.B_READ, Qt::LeftButton);
    EXPECT_EQ(form.TreeModel()->rowCount(), 0);
    EXPECT_EQ(ListRows().size(), 0u);
    EXPECT_EQ(form.Book(), second);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MainWindowTest, EmptyFolderGivesOnlyTheRoot) {
    fs::create_directories(dir_ / "empty");
    WriteIni(FolderLine(dir_ / "empty"));
    Start();
    EXPECT_EQ(TreeNodes(), (std::vector<std::pair<QString, int>>{{Q("\\"), 0}}));
    SelectNode(0);
    EXPECT_EQ(ListRows().size(), 0u);
}

TEST_F(MainWindowTest, GroupCyclesEndOnThePath) {
    const fs::path folder = dir_ / "cycle";
    WriteAll(folder / "group.dat",
             "Name: \\\r\nEntry: A\r\n.\r\n"
             "Name: A\r\nEntry: B,\r\n  \\\r\n.\r\n"
             "Name: B\r\nEntry: A,\r\n  C,\r\n  B\r\n.\r\n"
             "Name: C\r\nEntry: x\r\n.\r\n");
    WriteIni(FolderLine(folder));
    Start();
    using N = std::pair<QString, int>;
    EXPECT_EQ(TreeNodes(), (std::vector<N>{{Q("\\"), 0}, {Q("A"), 1}, {Q("B"), 2}, {Q("C"), 3}}));
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
    const fs::path folder = dir_ / "fan";
    WriteAll(folder / "group.dat", groups);
    WriteIni(FolderLine(folder));
    TForm1& form = Start();
    // The tree stops at its bound and says so once.
    EXPECT_EQ(form.TreeModel()->Nodes().size(), kMaxTreeNodes);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], ReportText(TreeTruncatedMessage(kMaxTreeNodes)));
}

TEST_F(MainWindowTest, AddressOfSelectedRowsInListOrder) {
    WriteIni(FolderLine(kSample));
    TForm1& form = Start();
    SelectNode(NodeNamed("基盤チーム"));
    SelectRows({2, 0});
    const TAddressBook& book = *form.Book();
    EXPECT_EQ(form.getAddress(),
              book.JoinedRecipients(Sj("加藤 翔太")) + book.JoinedRecipients(Sj("山本 拓也")));
    EXPECT_NE(form.getAddress().find("; "), std::string::npos);
}

// ---- Layout

TEST_F(MainWindowTest, LayoutFollowsTheClientArea) {
    TForm1& form = StartShown();
    form.setMinimumSize(0, 0);  // a frame can leave a client area below the outer minimum
    const struct {
        int cw, ch;
        QRect tree, list;
        int panelTop;
    } cases[] = {
        {450, 420, {10, 10, 210, 205}, {230, 10, 210, 205}, 225},
        {451, 420, {10, 10, 210, 205}, {230, 10, 210, 205}, 225},  // 11 pixels right
        {458, 447, {10, 10, 214, 232}, {234, 10, 214, 232}, 252},
        {455, 320, {10, 10, 212, 105}, {232, 10, 212, 105}, 125},
    };
    for (const auto& c : cases) {
        form.resize(c.cw, c.ch);
        EXPECT_EQ(form.TreeView1->geometry(), c.tree) << c.cw << "x" << c.ch;
        EXPECT_EQ(form.ListView1->geometry(), c.list) << c.cw << "x" << c.ch;
        EXPECT_EQ(form.Panel1->geometry(), QRect(8, c.panelTop, 435, 185));
    }
}

TEST_F(MainWindowTest, WindowCannotBeMadeSmallerThanItsMinimum) {
    TForm1& form = StartShown();
    form.SetWidth(100);
    form.SetHeight(100);
    EXPECT_EQ(form.Width(), 455);
    EXPECT_EQ(form.Height(), 320);
    EXPECT_EQ(form.Panel1->y(), form.height() - 10 - 185);
}

TEST_F(MainWindowTest, ListColumnsShareTheClientWidth) {
    TForm1& form = StartShown();
    for (int width : {450, 451, 600}) {
        form.resize(width, 420);
        QApplication::processEvents();
        const int client = form.ListView1->viewport()->width();
        const QHeaderView* header = form.ListView1->header();
        EXPECT_EQ(header->sectionSize(0), (client + 1) / 2) << width;
        EXPECT_EQ(header->sectionSize(1), client / 2) << width;
    }
}

TEST_F(MainWindowTest, ControlsAtTheirDesignBounds) {
    TForm1& form = Start();
    const struct {
        const char* name;
        QRect bounds;
        const char* text;
    } cases[] = {
        {"Edit1", {89, 11, 145, 20}, "設定されていません"},
        {"B_SETFOLDER", {240, 9, 75, 25}, "参照..."},
        {"B_READ", {322, 9, 108, 25}, "アドレス帳読み込み"},
        {"GroupBox1", {1, 45, 290, 95}, "メールアドレスの挿入"},
        {"RadioGroup1", {9, 23, 162, 58}, "どのウインドウ？"},
        {"RB_NewWin", {14, 39, 141, 17}, "新規メールウインドウへ"},
        {"RB_ExistWin", {14, 57, 152, 17}, "既存のメールウインドウへ"},
        {"B_TO", {180, 10, 95, 24}, "「宛先」へ"},
        {"B_CC", {180, 38, 95, 24}, "「CC」へ"},
        {"B_BCC", {180, 66, 95, 24}, "「BCC」へ"},
        {"GroupBox2", {294, 45, 140, 80}, "引用付き貼付サポート"},
        {"Edit2", {386, 64, 36, 20}, "> "},
        {"B_QUOTE", {307, 88, 117, 27}, "引用マークを付加"},
        {"B_QUIT", {360, 133, 75, 25}, "閉じる"},
    };
    for (const auto& c : cases) {
        auto* widget = form.findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.bounds) << c.name;
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(widget))
            text = b->text();
        if (auto* e = qobject_cast<QLineEdit*>(widget))
            text = e->text();
        if (auto* g = qobject_cast<QGroupBox*>(widget))
            text = g->title();
        EXPECT_EQ(text, Q(c.text)) << c.name;
    }
    for (const char* name : {"Label1", "Label2", "Label3", "ver_label", "Label4"}) {
        EXPECT_NE(form.findChild<QLabel*>(QLatin1String(name)), nullptr) << name;
    }
    EXPECT_EQ(form.Label3->parentWidget(), form.GroupBox2);
    EXPECT_EQ(form.Edit2->parentWidget(), form.Panel1);
    EXPECT_EQ(form.minimumSize(), QSize(455, 320));

    // Labels on the bottom line must not run into each other.
    EXPECT_LE(form.Label2->geometry().right(), form.ver_label->x());
    EXPECT_LE(form.ver_label->geometry().right(), form.Label4->x());
    EXPECT_LE(form.Label4->geometry().right(), form.Panel1->width());

    const QWidget* expected[] = {form.ListView1, form.TreeView1,   form.B_QUIT, form.B_TO,
                                 form.RB_NewWin, form.RB_ExistWin, form.B_CC,   form.B_BCC,
                                 form.Edit2,     form.B_QUOTE,     form.Edit1,  form.B_SETFOLDER,
                                 form.B_READ};
    auto nextTabStop = [](const QWidget* w) {
        QWidget* next = w->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        return next;
    };
    for (size_t i = 0; i + 1 < std::size(expected); ++i) {
        EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << i;
    }
    EXPECT_EQ(form.Property1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
}

TEST_F(MainWindowTest, ImagesAndFont) {
    TForm1& form = Start();
    for (int i = 0; i < TImageList::kCount; ++i) {
        const QImage image = form.ImageList1->Icon(i).pixmap(16, 16).toImage();
        EXPECT_EQ(image.size(), QSize(16, 16)) << i;
        EXPECT_TRUE(image.hasAlphaChannel()) << i;
        EXPECT_EQ(qAlpha(image.pixel(15, 0)), 0) << i;  // the corner shows through
    }
    const QIcon& group = form.ImageList1->Icon(0, 3);
    EXPECT_EQ(group.pixmap(16, 16, QIcon::Normal).toImage(),
              form.ImageList1->Icon(0).pixmap(16, 16).toImage());
    EXPECT_EQ(group.pixmap(16, 16, QIcon::Selected).toImage(),
              form.ImageList1->Icon(3).pixmap(16, 16).toImage());

    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_EQ(form.Edit1->font().pixelSize(), 12);
    const QStringList japanese = {Q("ＭＳ Ｐゴシック"), Q("IPAPGothic"), Q("Noto Sans CJK JP")};
    if (QFontDatabase::families().contains(Q("IPAPGothic"))) {
        EXPECT_TRUE(japanese.contains(form.font().family())) << form.font().family().toStdString();
    }
}

// ---- Credit label

TEST_F(MainWindowTest, CreditLabelHighlightStaysUntilTheMargin) {
    TForm1& form = StartShown();
    const QColor face = form.Label4->palette().color(QPalette::Window);
    auto move = [](QWidget* target, QPoint pos) {
        QMouseEvent event(QEvent::MouseMove, pos, target->mapToGlobal(pos), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    move(form.Label4, {2, 2});
    const QColor lit = form.Label4->palette().color(QPalette::Window);
    EXPECT_EQ(lit, form.palette().color(QPalette::ToolTipBase));
    move(form.Panel1, {5, 5});
    EXPECT_EQ(form.Label4->palette().color(QPalette::Window), lit);
    move(&form, {2, 2});
    EXPECT_EQ(form.Label4->palette().color(QPalette::Window), face);
    EXPECT_EQ(form.Label4->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(TForm1::MailLink().startsWith(Q("mailto:")));
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
    for (const auto& c : cases)
        EXPECT_EQ(ReportText(c.message), Q(c.shown)) << c.message;
}

TEST(ErrorReportTest, GuardedReportsWhateverIsThrown) {
    std::vector<QString> shown;
    SetErrorReporter([&](const QString& text) { shown.push_back(text); });
    Guarded([] { throw std::runtime_error("x"); });
    Guarded([] { throw 42; });
    bool ran = false;
    Guarded([&] { ran = true; });
    SetErrorReporter(nullptr);
    EXPECT_TRUE(ran);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], Q("x."));
    EXPECT_FALSE(shown[1].isEmpty());
    const QString title = ApplicationTitle();
    EXPECT_FALSE(title.contains(u'.'));
    EXPECT_EQ(title.mid(1), title.mid(1).toLower());
}

}  // namespace
