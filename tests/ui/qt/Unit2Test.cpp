// The properties dialog's Qt face: its controls, their texts and places.
#include <gtest/gtest.h>

#include "ui/qt/Form2Window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/AddressBook.h"
#include "core/Encoding.h"
#include "tests/support/QtForm.h"
#include "ui/qt/UiText.h"

namespace {

std::string Sj(const char* utf8) {
    return Utf8ToCp932(utf8);
}

QString Box(TForm2Window& form, const char* name) {
    auto* e = form.findChild<QLineEdit*>(QLatin1String(name));
    EXPECT_NE(e, nullptr) << name;
    return e ? e->text() : QString();
}

struct Shown {
    const char* nickName;
    const char* address;
    const char* tel;
    const char* org;
    const char* orgUnit;
    const char* memo;
};

void ExpectShows(TForm2Window& form, const Shown& s) {
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8(s.nickName) + QStringLiteral("のプロパティ"));
    EXPECT_EQ(Box(form, "NickName"), QString::fromUtf8(s.nickName));
    EXPECT_EQ(Box(form, "Address"), QString::fromUtf8(s.address));
    EXPECT_EQ(Box(form, "Tel"), QString::fromUtf8(s.tel));
    EXPECT_EQ(Box(form, "Org"), QString::fromUtf8(s.org));
    EXPECT_EQ(Box(form, "OrgUnit"), QString::fromUtf8(s.orgUnit));
    EXPECT_EQ(Box(form, "Memo"), QString::fromUtf8(s.memo));
}

class Form2Test : public ::testing::Test {
  protected:
    TCard card;
    TForm2Window form{card};
};

// The window shows each field in the box of its own name.
TEST_F(Form2Test, FullCardEachFieldInTheBoxOfItsName) {
    // Every field differs, so a box showing the wrong field is caught.
    card = TCard{Sj("山田 太郎"), Sj("大学の同期"),    "03-1234-5678",
                 Sj("例示商事"),  Sj("営業部 第二課"), "taro@example.jp"};
    form.Form.ShowProperties();
    EXPECT_TRUE(form.isVisible());
    ExpectShows(form, {"山田 太郎", "taro@example.jp", "03-1234-5678", "例示商事", "営業部 第二課",
                       "大学の同期"});

    // 閉じる hides it; the next show fills it anew.
    auto* close = form.findChild<QPushButton*>(QStringLiteral("Button1"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("閉じる"));
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    card = TCard{Sj("二郎"), Sj("メモ"), "", "", "", "jiro@example.jp"};
    form.Form.ShowProperties();
    EXPECT_TRUE(form.isVisible());
    ExpectShows(form, {"二郎", "jiro@example.jp", "", "", "", "メモ"});
}

TEST_F(Form2Test, FaceDrawsTheFormAsDescribed) {
    const TFormDescription& design = Form2Description();
    ExpectDrawnAsDescribed(form, design);
    const TBounds& b = design.Bounds;
    EXPECT_EQ(form.frameGeometry(), QRect(b.Left, b.Top, b.Width, b.Height));
    EXPECT_EQ(form.windowTitle(), FromCp932(design.Caption));
}

}  // namespace
