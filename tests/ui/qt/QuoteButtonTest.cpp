// The quote button end to end on the application's clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "tests/support/QtWindow.h"
#include "ui/ErrorReport.h"
#include "ui/qt/Form1Window.h"

namespace {

class QuoteButton : public ::testing::Test {
  protected:
    void SetUp() override { form = std::make_unique<TForm1Window>(); }
    void TearDown() override { form.reset(); }

    QString Press(const QString& mark) {
        form->findChild<QLineEdit*>(QStringLiteral("Edit2"))->setText(mark);
        auto* button = form->findChild<QPushButton*>(QStringLiteral("B_QUOTE"));
        EXPECT_NE(button, nullptr);
        if (button) {
            QTest::mouseClick(button, Qt::LeftButton);
        }
        return QGuiApplication::clipboard()->text();
    }

    TQtWindowScope scope;
    QStringList& reports = scope.Reports;
    std::unique_ptr<TForm1Window> form;
};

TEST_F(QuoteButton, TextsWithEveryMark) {
    struct Case {
        QString in;
        QString out;  // "Q" stands for the mark
    };
    // The clipboard speaks LF; CR LF inside the transform comes back as LF.
    const Case cases[] = {
        {"a\r\nb", "Qa\nQb\n"},
        {"a\nb", "Qa\nQb\n"},
        {"a\nb\n", "Qa\nQb\n"},
        {"a\n\nb", "Qa\nQ\nQb\n"},
        {"\n", "Q\n"},
        {"Qa\n", "QQa\n"},
        {"  a\t\n", "Q  a\t\n"},
        {QStringLiteral("日本語\n😀 한국어\n"), QStringLiteral("Q日本語\nQ😀 한국어\n")},
        {"a\rb", "Qa\rb\n"},
    };
    for (const QString& mark :
         {QStringLiteral("> "), QStringLiteral(""), QStringLiteral("》"), QStringLiteral(" | ")}) {
        for (const Case& c : cases) {
            QString in = c.in;
            QString out = c.out;
            in.replace(u'Q', mark);
            out.replace(u'Q', mark);
            QGuiApplication::clipboard()->setText(in);
            EXPECT_EQ(Press(mark), out)
                << "mark [" << mark.toStdString() << "] in [" << in.toStdString() << "]";
        }
    }
    EXPECT_TRUE(reports.isEmpty()) << reports.join(u'\n').toStdString();
}

TEST_F(QuoteButton, TheMarkIsTheEditsTextAtTheMoment) {
    QGuiApplication::clipboard()->setText("x");
    EXPECT_EQ(Press("> "), "> x\n");
    EXPECT_EQ(Press("# "), "# > x\n");
    EXPECT_EQ(Press("> "), "> # > x\n");
}

TEST_F(QuoteButton, NoTextGivesAnEmptyTextInPlaceOfEverything) {
    auto* data = new QMimeData;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    data->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(data);
    ASSERT_TRUE(QGuiApplication::clipboard()->mimeData()->hasImage());

    EXPECT_EQ(Press("> "), QString());
    const QMimeData* after = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(after->hasImage());
    EXPECT_TRUE(after->hasText());

    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(Press("> "), QString());
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(QuoteButton, TextEndsAtTheFirstNul) {
    QGuiApplication::clipboard()->setText(QString::fromUtf8("a\nb\0c\nd", 7));
    EXPECT_EQ(Press("> "), "> a\n> b\n");
}

}  // namespace
