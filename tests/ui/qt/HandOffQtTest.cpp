// The Qt window while Thunderbird takes its time: a stand-in host holds its
// answer back, and meanwhile the window repaints, its tree can be used, the
// recipient buttons wait, the busy cursor shows and, after a second, the
// progress window with its count.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <nlohmann/json.hpp>

#include "core/Encoding.h"
#include "mailclient/BridgedMailClient.h"
#include "mailclient/DesktopMailClient.h"
#include "mailclient/thunderbird/TbWire.h"
#include "mailclient/thunderbird/ThunderbirdMailClient.h"
#include "tests/support/QtWindow.h"
#include "tests/support/StandInHost.h"
#include "ui/qt/Form1Window.h"

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

class TPaintCounter : public QObject {
  public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST(HandOffQt, TheWindowLivesWhileThunderbirdHoldsItsAnswer) {
    TQtWindowScope scope;
    const std::string cards =
        "Nickname: 佐藤 和子\r\nAddress: kazuko@example.jp\r\n.\r\n"
        "Nickname: 田中 宏\r\nAddress: hiroshi@example.jp\r\n.\r\n";
    const std::string groups =
        "Name: \\\r\nEntry: 佐藤 和子,\r\n 友人\r\n.\r\n"
        "Name: 友人\r\nEntry: 田中 宏\r\n.\r\n";
    WriteAll(scope.Dir() / "mail" / "card.dat", Utf8ToCp932(cards));
    WriteAll(scope.Dir() / "mail" / "group.dat", Utf8ToCp932(groups));
    WriteAll(scope.Ini(), "MailFolder: " + PathToCp932(scope.Dir() / "mail") + "\r\n");
    TForm1Window form;
    TThunderbirdMailClient::TOptions options;
    options.directory = (scope.Dir() / "run").string();
    options.session = "test";
    form.Form.SetMailClient(std::make_unique<TBridgedMailClient>(
        std::make_unique<TThunderbirdMailClient>(form.EventLoop(), options),
        std::make_unique<TDesktopMailClient>([](const std::string&) { return true; },
                                             TDesktopMailClient::kArgumentLimit)));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    TStandInHost host(tbwire::SocketPath(options.directory, "test"),
                      [](const Json& r) -> std::optional<Json> {
                          Json reply = {{"id", r["id"]}, {"ok", true}};
                          if (r["op"] == "active") {
                              reply["tab"] = 3;
                          }
                          return reply;
                      });
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.RB_ExistWin->isEnabled(); }, 10000));
    QTest::mouseClick(form.RB_ExistWin, Qt::LeftButton);
    form.TreeView1->setCurrentIndex(form.TreeModel()->IndexOf(0));
    ASSERT_EQ(form.ListModel()->rowCount(), 2);
    form.ListView1->selectAll();
    ASSERT_EQ(form.Form.getAddress(), "kazuko@example.jp; hiroshi@example.jp; ");
    host.Hold("set");

    TPaintCounter paints;
    form.installEventFilter(&paints);
    struct {
        bool held = false, buttonsWaited = false, busy = false, progress = false;
        int paintsBefore = 0, paintsDuring = 0, rowsAfterChoosing = 0;
        QString text;
    } seen;
    // Everything below happens while the press waits for Thunderbird.
    QTimer::singleShot(50, [&] {
        seen.held = host.Holding();
        seen.buttonsWaited = !form.B_TO->isEnabled() && !form.B_CC->isEnabled() &&
                             !form.B_BCC->isEnabled() && !form.B_READ->isEnabled() &&
                             !form.B_QUIT->isEnabled() && form.B_QUOTE->isEnabled();
        seen.busy = form.cursor().shape() == Qt::BusyCursor;
        seen.paintsBefore = paints.Paints;
        form.update();
        // A person chooses another group meanwhile.
        form.TreeView1->setCurrentIndex(form.TreeModel()->IndexOf(1));
    });
    QTimer::singleShot(1300, [&] {
        seen.paintsDuring = paints.Paints - seen.paintsBefore;
        seen.rowsAfterChoosing = form.ListModel()->rowCount();
        seen.progress = form.Form3->isVisible();
        seen.text = form.Form3->Label1->text();
        host.Release();
    });
    QTest::mouseClick(form.B_TO, Qt::LeftButton);

    EXPECT_TRUE(seen.held) << "the press did not wait for Thunderbird";
    EXPECT_TRUE(seen.buttonsWaited);
    EXPECT_TRUE(seen.busy);
    EXPECT_GT(seen.paintsDuring, 0) << "the window did not repaint while waiting";
    EXPECT_EQ(seen.rowsAfterChoosing, 1) << "the tree did not answer while waiting";
    EXPECT_TRUE(seen.progress);
    EXPECT_EQ(seen.text.toStdString(), "Thunderbird に 2 件の宛先を渡しています… 1 秒");
    EXPECT_FALSE(form.Form3->isVisible());
    EXPECT_TRUE(form.B_TO->isEnabled());
    EXPECT_NE(form.cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(scope.Reports.isEmpty()) << scope.Reports.join("\n").toStdString();
    host.Close();
    ASSERT_GE(host.Received.size(), 3u);
    EXPECT_EQ(host.Received[1]["op"], "set");
    EXPECT_EQ(host.Received[1]["to"].size(), 2u);
}

}  // namespace
