// The main window on hostile mail folders: a tree cut at its bound with one
// message, cycles, garbage bytes, a deep chain. The window stays usable.
#include <gtest/gtest.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <string>
#include <vector>

#include "core/Encoding.h"
#include "core/GroupTree.h"
#include "core/Prefs.h"
#include "tests/support/QtWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Group(const std::string& name, const std::vector<std::string>& entries) {
    std::string s = "Name: " + name + "\r\n";
    for (const std::string& e : entries) {
        s += "Entry: " + e + "\r\n";
    }
    return s + ".\r\n";
}

class HostileBookWindowTest : public ::testing::Test {
  protected:
    void TearDown() override { form_.reset(); }

    // Starts the window on a folder with these files; the list shows addresses.
    TForm1Window& Start(const std::string& cards, const std::string& groups) {
        const fs::path folder = dir_ / "mail";
        WriteAll(folder / "card.dat", cards);
        WriteAll(folder / "group.dat", groups);
        WriteAll(dir_ / "quorvantel.ini",
                 "MailFolder: " + PathToCp932(folder) + "\r\nList2ndItem: ADDRESS\r\n");
        form_ = std::make_unique<TForm1Window>();
        form_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        return *form_;
    }

    const std::vector<TTreeModel::TNode>& Nodes() { return form_->TreeModel()->Nodes(); }
    int NodeNamed(const std::string& cp932) {
        for (size_t i = 0; i < Nodes().size(); ++i) {
            if (Nodes()[i].Name == cp932) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void SelectNode(int node) {
        form_->TreeView1->setCurrentIndex(form_->TreeModel()->IndexOf(node));
    }
    std::vector<std::string> ListCaptions() {
        std::vector<std::string> captions;
        for (const auto& row : form_->ListModel()->Rows()) {
            captions.push_back(row.Caption);
        }
        return captions;
    }
    void DoubleClickRow(int row) {
        auto* selection = form_->ListView1->selectionModel();
        selection->select(form_->ListView1->model()->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const QRect rect = form_->ListView1->visualRect(form_->ListView1->model()->index(row, 0));
        QTest::mouseDClick(form_->ListView1->viewport(), Qt::LeftButton, {}, rect.center());
    }

    TQtWindowScope scope_;
    const fs::path& dir_ = scope_.Dir();
    QStringList& reports_ = scope_.Reports;
    std::unique_ptr<TForm1Window> form_;
};

TEST_F(HostileBookWindowTest, CrossLinkedTreeStopsAtTheBoundWithOneMessage) {
    // 2^25 paths through 24 levels of two groups.
    std::string groups = Group("\\", {"a0", "b0"});
    for (int level = 0; level < 24; ++level) {
        const std::string next = std::to_string(level + 1);
        groups += Group("a" + std::to_string(level), {"c", "a" + next, "b" + next});
        groups += Group("b" + std::to_string(level), {"a" + next, "b" + next});
    }
    TForm1Window& form = Start("Nickname: c\r\nAddress: c@example.jp\r\n.\r\n", groups);
    EXPECT_EQ(Nodes().size(), kMaxTreeNodes);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0],
              QString::fromUtf8("グループの入れ子が多すぎるため、ツリーには最初の 100000 "
                                "個だけを表示しています."));

    // Still usable: a node fills the list, a double-click moves the tree.
    SelectNode(NodeNamed("a3"));
    EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"c", "a4", "b4"}));
    EXPECT_EQ(form.ListModel()->Rows()[0].Second, "c@example.jp");
    // b4 lies beyond the bound: it has no node, so a double-click stays put.
    ASSERT_EQ(NodeNamed("b4"), -1);
    DoubleClickRow(2);
    EXPECT_EQ(form.TreeView1->currentIndex(), form.TreeModel()->IndexOf(NodeNamed("a3")));
    // Deep down, where the tree holds both sides, it moves the tree.
    SelectNode(NodeNamed("a20"));
    ASSERT_EQ(ListCaptions(), (std::vector<std::string>{"c", "a21", "b21"}));
    ASSERT_GE(NodeNamed("b21"), 0);
    DoubleClickRow(2);
    EXPECT_EQ(form.TreeView1->currentIndex(), form.TreeModel()->IndexOf(NodeNamed("b21")));
    EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"a22", "b22"}));

    // Each read says it once more, and only once.
    form.Form.B_READClick();
    EXPECT_EQ(reports_.size(), 2u);
    EXPECT_EQ(Nodes().size(), kMaxTreeNodes);
}

TEST_F(HostileBookWindowTest, CyclesShowEachGroupOncePerPath) {
    TForm1Window& form =
        Start("Nickname: c\r\nAddress: c@example.jp\r\n.\r\n",
              Group("\\", {"g", "h", "\\"}) + Group("g", {"g", "h", "c"}) + Group("h", {"g", "h"}));
    std::vector<std::pair<std::string, int>> tree;
    for (const auto& node : Nodes()) {
        int depth = 0;
        for (int p = node.Parent; p >= 0; p = Nodes()[static_cast<size_t>(p)].Parent) {
            ++depth;
        }
        tree.emplace_back(node.Name, depth);
    }
    EXPECT_EQ(tree, (std::vector<std::pair<std::string, int>>{
                        {"\\", 0}, {"g", 1}, {"h", 2}, {"h", 1}, {"g", 2}}));
    EXPECT_TRUE(reports_.empty());
    SelectNode(NodeNamed("g"));
    EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"g", "h", "c"}));
    // The recipient text of the cyclic group ends too.
    form.ListView1->selectionModel()->select(
        form.ListModel()->index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(form.Form.getAddress(),
              form.Form.Book()->JoinedRecipients("c", RecipientForm(Prefs)));
    EXPECT_EQ(form.Form.getAddress().find("c@example.jp"),
              form.Form.getAddress().rfind("c@example.jp"));
}

TEST_F(HostileBookWindowTest, GarbageBytesShowAsTheyAreRead) {
    // Bytes 0 in names, a double-byte character cut at a line end and at the
    // end of the file, invalid lead bytes, byte 26 ending group.dat early.
    const std::string cards =
        "\0Nickname: a\0b\r\nAddress: x@example.jp\x82\r\n.\r\n"
        "Nickname: \x81\xff\xfe\r\n.\r\nNickname: \x82"s;
    const std::string groups =
        "Name: \\\r\nEntry: g\x82\r\n.\r\n"
        "Name: g\x82\r\nEntry: a\0b\r\nEntry: \x81\xff\xfe\r\n.\r\n"
        "Name: h\r\nEntry: gone\x1a\r\n.\r\nName: after\r\n.\r\n"s;
    TForm1Window& form = Start(cards, groups);
    EXPECT_TRUE(reports_.empty());
    ASSERT_EQ(Nodes().size(), 2u);
    EXPECT_EQ(Nodes()[1].Name, "g\x82");
    // Byte 26 ended the file inside the record of h.
    EXPECT_FALSE(form.Form.Book()->IsGroup("h"));
    EXPECT_FALSE(form.Form.Book()->IsGroup("after"));
    EXPECT_EQ(form.Form.Book()->CardCount(), 2u);
    SelectNode(1);
    EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"a\0b"s, "\x81\xff\xfe"}));
    EXPECT_EQ(form.ListModel()->Rows()[0].Second, "x@example.jp\x82");

    // The display turns every byte sequence into text without losing rows.
    SelectNode(0);
    ASSERT_EQ(ListCaptions(), (std::vector<std::string>{"g\x82"}));
    const QString shown = form.ListView1->model()->index(0, 0).data().toString();
    EXPECT_TRUE(shown.startsWith(QLatin1Char('g')));
    EXPECT_TRUE(shown.contains(QChar(0xFFFD)));
}

TEST_F(HostileBookWindowTest, BytesZeroAndCutCharactersReachTheList) {
    const std::string cards = "Nickname: a\0b\r\nAddress: x@example.jp\x82\r\n.\r\n"s;
    const std::string groups = "Name: \\\r\nEntry: g\r\n.\r\nName: g\r\nEntry: a\0b\r\n.\r\n"s;
    TForm1Window& form = Start(cards, groups);
    SelectNode(NodeNamed("g"));
    ASSERT_EQ(ListCaptions(), (std::vector<std::string>{"a\0b"s}));
    EXPECT_EQ(form.ListModel()->Rows()[0].Second, "x@example.jp\x82");
    const QString second = form.ListView1->model()->index(0, 1).data().toString();
    EXPECT_TRUE(second.startsWith(QStringLiteral("x@example.jp")));
    form.ListView1->selectionModel()->select(
        form.ListModel()->index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form.Form.Property1Click();
    EXPECT_EQ(form.Form.PropertyCard.Nickname, "a\0b"s);
    EXPECT_EQ(form.Form.PropertyCard.Address, "x@example.jp\x82");
}

TEST_F(HostileBookWindowTest, DeepChainStopsAtTheDepthBound) {
    constexpr int kDepth = 30000;  // deep enough to overflow the view's layout
    std::string groups = Group("\\", {"g0"});
    for (int i = 0; i < kDepth; ++i) {
        groups +=
            Group("g" + std::to_string(i), {i + 1 < kDepth ? "g" + std::to_string(i + 1) : "c"});
    }
    TForm1Window& form = Start("Nickname: c\r\nAddress: c@example.jp\r\n.\r\n", groups);
    EXPECT_EQ(Nodes().size(), kMaxTreeDepth + 1);
    EXPECT_EQ(Nodes().back().Name, "g" + std::to_string(kMaxTreeDepth - 1));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0],
              QString::fromStdString(ReportText(TreeTruncatedMessage(kMaxTreeDepth + 1))));

    SelectNode(static_cast<int>(Nodes().size()) - 1);
    EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"g" + std::to_string(kMaxTreeDepth)}));
    form.ListView1->selectionModel()->select(
        form.ListModel()->index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The expansion follows the whole chain, below the deepest node too.
    EXPECT_EQ(form.Form.getAddress(),
              form.Form.Book()->JoinedRecipients("c", RecipientForm(Prefs)));
    EXPECT_NE(form.Form.getAddress().find("c@example.jp"), std::string::npos);
    form.TreeView1->scrollTo(form.TreeModel()->IndexOf(static_cast<int>(Nodes().size()) - 1));
    QApplication::processEvents();
}

}  // namespace
