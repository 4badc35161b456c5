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

TEST_F(Form2Test, ControlsAsDesigned) {
    struct Box {
        const char* name;
        int top;
    };
    for (const Box b : {Box{"NickName", 14}, Box{"Address", 39}, Box{"Tel", 71}, Box{"Org", 97},
                        Box{"OrgUnit", 122}, Box{"Memo", 149}}) {
        auto* e = form.findChild<QLineEdit*>(QLatin1String(b.name));
        ASSERT_NE(e, nullptr) << b.name;
        EXPECT_TRUE(e->isReadOnly()) << b.name;
        EXPECT_EQ(e->geometry(), QRect(72, b.top, 158, 20)) << b.name;
    }
    struct Caption {
        const char* name;
        const char* text;
        QPoint pos;
    };
    for (const Caption c :
         {Caption{"Label1", "名前", {9, 16}}, Caption{"Label2", "アドレス", {10, 41}},
          Caption{"Label3", "電話番号", {10, 76}}, Caption{"Label4", "所属", {10, 100}},
          Caption{"Label5", "部署", {11, 127}}, Caption{"Label6", "メモ", {11, 152}}}) {
        auto* l = form.findChild<QLabel*>(QLatin1String(c.name));
        ASSERT_NE(l, nullptr) << c.name;
        EXPECT_EQ(l->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(l->pos(), c.pos) << c.name;
        // The label shows its whole text.
        EXPECT_GE(l->width(), l->fontMetrics().horizontalAdvance(l->text())) << c.name;
    }
    EXPECT_EQ(form.findChild<QPushButton*>(QStringLiteral("Button1"))->geometry(),
              QRect(86, 184, 75, 25));
    EXPECT_EQ(form.frameGeometry(), QRect(453, 111, 247, 245));
    EXPECT_EQ(form.font().pixelSize(), 12);
}

TEST_F(Form2Test, TabOrderRunsDownTheBoxesToTheButton) {
    card = TCard{Sj("山田"), "m", "t", "o", "u", "a"};
    form.Form.ShowProperties();
    QApplication::setActiveWindow(&form);
    form.NickName->setFocus();
    const char* order[] = {"Address", "Tel", "Org", "OrgUnit", "Memo", "Button1", "NickName"};
    QWidget* current = form.NickName;
    for (const char* next : order) {
        current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus)
            current = current->nextInFocusChain();
        EXPECT_EQ(current->objectName(), QLatin1String(next));
    }
}

}  // namespace
