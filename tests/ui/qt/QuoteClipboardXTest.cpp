// The quote button against the X clipboard, with xclip as the other program:
// the bytes it copies go in, the bytes it pastes come out. Runs under Xvfb.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#if defined(QUORVANTEL_HAVE_XCB)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

#include "tests/support/QtWindow.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
};

// Runs xclip while the event loop keeps going, so this process can answer
// xclip's request for the clipboard it owns.
Run Xclip(const QStringList& args, const QByteArray* input = nullptr) {
    QProcess p;
    if (input) {
        // xclip -i leaves a child behind that serves the selection; it must
        // not hold our pipes open.
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
    }
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    p.start(QStringLiteral("xclip"), args);
    if (input) {
        p.write(*input);
        p.closeWriteChannel();
    }
    if (p.state() != QProcess::NotRunning) {
        loop.exec();
    }
    Run r;
    if (p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    } else {
        p.kill();
        p.waitForFinished(1000);
    }
    r.out = input ? QByteArray() : p.readAllStandardOutput();
    return r;
}

const QStringList kClipboard = {QStringLiteral("-selection"), QStringLiteral("clipboard")};

// Copies the bytes as another program does, and waits until it owns the clipboard.
void Copy(const QByteArray& bytes, const QString& target = QStringLiteral("UTF8_STRING")) {
    ASSERT_EQ(
        Xclip(kClipboard + QStringList{QStringLiteral("-i"), QStringLiteral("-t"), target}, &bytes)
            .exitCode,
        0);
    for (int i = 0; i < 100; ++i) {
        const Run targets =
            Xclip(kClipboard + QStringList{QStringLiteral("-o"), QStringLiteral("-t"),
                                           QStringLiteral("TARGETS")});
        if (targets.exitCode == 0 && targets.out.contains(target.toLatin1()) &&
            !QGuiApplication::clipboard()->ownsClipboard()) {
            return;
        }
        QTest::qWait(20);
    }
    FAIL() << "xclip did not take the clipboard";
}

QByteArray Paste(const QString& target = QStringLiteral("UTF8_STRING")) {
    const Run r =
        Xclip(kClipboard + QStringList{QStringLiteral("-o"), QStringLiteral("-t"), target});
    EXPECT_EQ(r.exitCode, 0) << "xclip -o -t " << target.toStdString();
    return r.out;
}

class QuoteOnXClipboard : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
        }
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            << "xclip is not installed";
        form = std::make_unique<TForm1Window>();
        form->show();
    }
    void TearDown() override { form.reset(); }

    void Press(const QString& mark) {
        form->findChild<QLineEdit*>(QStringLiteral("Edit2"))->setText(mark);
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("B_QUOTE")), Qt::LeftButton);
    }

    TQtWindowScope scope;
    QStringList& reports = scope.Reports;
    std::unique_ptr<TForm1Window> form;
};

TEST_F(QuoteOnXClipboard, BytesInBytesOut) {
    struct Case {
        QByteArray in;
        QByteArray out;  // "Q" stands for the mark
    };
    const Case cases[] = {
        {"a\nb", "Qa\nQb\n"},              // LF, no final newline
        {"a\nb\n", "Qa\nQb\n"},            // LF with final newline
        {"a\r\nb\r\n", "Qa\nQb\n"},        // CR LF
        {"a\n\n\nb\n", "Qa\nQ\nQ\nQb\n"},  // empty lines
        {"\n", "Q\n"},                     // one empty line
        {"Qa\n", "QQa\n"},                 // quoted before
        {"\tx  \n", "Q\tx  \n"},           // blanks stay
        {"\xf0\x9f\x98\x80 \xed\x95\x9c\xea\xb5\xad\xec\x96\xb4\n\xe6\x97\xa5\xe6\x9c\xac",
         "Q\xf0\x9f\x98\x80 \xed\x95\x9c\xea\xb5\xad\xec\x96\xb4\nQ\xe6\x97\xa5\xe6\x9c\xac\n"},
        {"\xe2\x82\xac \xc3\xa9 \xe2\x91\xa0\n", "Q\xe2\x82\xac \xc3\xa9 \xe2\x91\xa0\n"},
    };
    for (const QByteArray& mark :
         {QByteArray("> "), QByteArray(""), QByteArray(">"), QByteArray("\xe2\x94\x82 ")}) {
        for (const Case& c : cases) {
            QByteArray in = c.in;
            QByteArray expected = c.out;
            in.replace('Q', mark);
            expected.replace('Q', mark);
            Copy(in);
            Press(QString::fromUtf8(mark));
            EXPECT_EQ(Paste(), expected)
                << "mark [" << mark.toStdString() << "] in [" << in.toStdString() << "]";
        }
    }
    EXPECT_TRUE(reports.isEmpty()) << reports.join(u'\n').toStdString();
}

TEST_F(QuoteOnXClipboard, PictureOnlyGivesAnEmptyText) {
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5Erk"
        "Jggg==");
    Copy(png, QStringLiteral("image/png"));
    Press(QStringLiteral("> "));
    EXPECT_EQ(Paste(), QByteArray());
    const QByteArray targets = Paste(QStringLiteral("TARGETS"));
    EXPECT_FALSE(targets.contains("image/png")) << targets.toStdString();
    EXPECT_TRUE(targets.contains("UTF8_STRING")) << targets.toStdString();
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(QuoteOnXClipboard, EmptyTextStaysEmpty) {
    Copy(QByteArray(""));
    Press(QStringLiteral("> "));
    EXPECT_EQ(Paste(), QByteArray());
    EXPECT_TRUE(reports.isEmpty());
}

#if defined(QUORVANTEL_HAVE_XCB)
// Another client takes the clipboard and never answers a request for it: Qt
// only sees an empty clipboard after its timeout. The button must report that
// and leave the clipboard with its owner, not wipe it.
TEST_F(QuoteOnXClipboard, SilentOwnerIsReportedAndKeepsTheClipboard) {
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(other)).data;
    const xcb_window_t window = xcb_generate_id(other);
    xcb_create_window(other, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(other, xcb_intern_atom(other, 0, 9, "CLIPBOARD"), nullptr);
    ASSERT_NE(atom, nullptr);
    const xcb_atom_t clipboard = atom->atom;
    std::free(atom);
    xcb_set_selection_owner(other, window, clipboard, XCB_CURRENT_TIME);
    xcb_flush(other);
    auto owner = [&] {
        xcb_get_selection_owner_reply_t* r = xcb_get_selection_owner_reply(
            other, xcb_get_selection_owner(other, clipboard), nullptr);
        const xcb_window_t w = r ? r->owner : XCB_NONE;
        std::free(r);
        return w;
    };
    ASSERT_EQ(owner(), window);
    QTest::qWait(100);  // lets this process see that it no longer holds the clipboard

    Press(QStringLiteral("> "));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.front().startsWith(QStringLiteral("クリップボードを開くことができません")))
        << reports.front().toStdString();
    EXPECT_EQ(owner(), window);
    reports.clear();
    xcb_disconnect(other);
}
#endif

}  // namespace
