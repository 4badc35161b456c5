// The properties dialog's behaviour through the in-memory face.
#include <gtest/gtest.h>

#include "core/Encoding.h"
#include "tests/support/MemoryWindow.h"

namespace {

std::string Sj(const char* utf8) {
    return Utf8ToCp932(utf8);
}

struct Shown {
    const char* nickName;
    const char* address;
    const char* tel;
    const char* org;
    const char* orgUnit;
    const char* memo;
};

class Form2Test : public ::testing::Test {
  protected:
    Form2Test() { view.Form = &form; }

    void ExpectShows(const Shown& s) {
        EXPECT_EQ(Cp932ToUtf8(view.Caption), std::string(s.nickName) + "のプロパティ");
        const std::pair<TPropertyBox, const char*> boxes[] = {
            {TPropertyBox::NickName, s.nickName}, {TPropertyBox::Address, s.address},
            {TPropertyBox::Tel, s.tel},           {TPropertyBox::Org, s.org},
            {TPropertyBox::OrgUnit, s.orgUnit},   {TPropertyBox::Memo, s.memo}};
        for (const auto& [box, text] : boxes) {
            EXPECT_EQ(Cp932ToUtf8(view.Boxes[box]), text) << static_cast<int>(box);
        }
    }

    TCard card;
    TMemoryForm2View view;
    TForm2 form{view, card};
};

TEST_F(Form2Test, HiddenAndUnfilledUntilFirstShown) {
    EXPECT_FALSE(view.Visible);
    EXPECT_EQ(view.Caption, "Form2");
    EXPECT_TRUE(view.Boxes.empty());
}

TEST_F(Form2Test, EachEntryShowsAsTheBookHoldsIt) {
    const struct {
        TCard card;
        Shown shown;
    } cases[] = {
        // Every field differs, so a box showing the wrong field is caught.
        {{Sj("山田 太郎"), Sj("大学の同期"), "03-1234-5678", Sj("例示商事"), Sj("営業部 第二課"),
          "taro@example.jp"},
         {"山田 太郎", "taro@example.jp", "03-1234-5678", "例示商事", "営業部 第二課",
          "大学の同期"}},
        // A group: its name only.
        {{Sj("友人"), "", "", "", "", ""}, {"友人", "", "", "", "", ""}},
        // A name that is neither: six empty boxes, the caption alone.
        {{}, {"", "", "", "", "", ""}},
        // Several addresses on one line, untrimmed.
        {{Sj("佐藤"), "", "", "", "", "  a@example.jp;b@example.com ; c@example.jp "},
         {"佐藤", "  a@example.jp;b@example.com ; c@example.jp ", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        card = c.card;
        view.Visible = false;
        form.ShowProperties();
        EXPECT_TRUE(view.Visible);
        ExpectShows(c.shown);
    }
}

TEST_F(Form2Test, ClosingHidesAndTheNextShowRefills) {
    card = TCard{Sj("一郎"), "", "", "", "", "ichiro@example.jp"};
    form.ShowProperties();
    form.Button1Click();
    EXPECT_FALSE(view.Visible);

    card = TCard{Sj("二郎"), Sj("メモ"), "", "", "", "jiro@example.jp"};
    form.ShowProperties();
    EXPECT_TRUE(view.Visible);
    ExpectShows({"二郎", "jiro@example.jp", "", "", "", "メモ"});
}

TEST_F(Form2Test, OpenDialogIsRefilledByTheNextCommandAndComesToTheFront) {
    card = TCard{Sj("一郎"), "", "", "", "", "ichiro@example.jp"};
    form.ShowProperties();
    card = TCard{Sj("花子"), "", "090-0000-0000", "", "", "hanako@example.jp"};
    form.ShowProperties();
    EXPECT_TRUE(view.Visible);
    EXPECT_EQ(view.Raised, 2);
    ExpectShows({"花子", "hanako@example.jp", "090-0000-0000", "", "", ""});
}

}  // namespace
