// What a newcomer sees in the sample mail folder: the tree, a few groups'
// recipients and the odd entries the folder shows on purpose.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AddressBook.h"
#include "core/Encoding.h"
#include "core/GroupTree.h"

namespace {

constexpr TRecipientForm kQuoted = TRecipientForm::QuotedName;
constexpr TRecipientForm kBare = TRecipientForm::AddressOnly;

class SampleFolder : public testing::Test {
  protected:
    void SetUp() override {
        book_.SetFolder(QUORVANTEL_EXAMPLES_DIR "/mailbox");
        book_.Load();
    }

    static std::string S(const char* utf8) { return Utf8ToCp932(utf8); }
    std::string Joined(const char* utf8, bool addressOnly) {
        return Cp932ToUtf8(book_.JoinedRecipients(
            S(utf8), addressOnly ? TRecipientForm::AddressOnly : TRecipientForm::QuotedName));
    }

    TAddressBook book_;
};

TEST_F(SampleFolder, HoldsThirtyCardsAndNineGroups) {
    EXPECT_EQ(book_.CardCount(), 30u);
    EXPECT_EQ(book_.Groups().size(), 9u);
}

TEST_F(SampleFolder, TreeShowsNestingAndSharedGroup) {
    std::vector<std::string> lines;
    for (const TGroupTreeNode& n : BuildGroupTree(book_)) {
        lines.push_back(std::string(static_cast<size_t>(n.Depth) * 2, ' ') + Cp932ToUtf8(n.Name));
    }
    const std::vector<std::string> expected = {
        "\\",         "  家族", "  仕事",         "    開発部", "      基盤チーム",
        "    取引先", "  友人", "    山歩きの会", "  趣味",     "    山歩きの会",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(SampleFolder, Expansions) {
    struct Case {
        const char* name;
        bool addressOnly;
        const char* expected;
    };
    const Case cases[] = {
        // A card in two nested groups is sent once; the card-less member gives an empty item.
        {"友人", true,
         "; daisuke.ogawa@example.jp; koji.murakami@example.jp; mari.okada@example.com; "
         "misaki.nakamura@example.com; naoko.ishii@example.com; osamu.fujita@example.jp; "
         "satoshi.hasegawa@example.jp; "},
        // Continuation lines join several addresses of one card with ";".
        {"取引先", true,
         "ai.shimizu@aozora-design.example.com; "
         "hiroshi.tanaka@kitakaze.example.com;h-tanaka@mobile.example.jp; "
         "kentaro.mori@hoshino-print.example.jp;k-mori@hoshino-print.example.jp;"
         "eigyo@hoshino-print.example.jp; yuko.ikeda@kitakaze.example.com; "},
        // Kanji go in the collation's order (by character), not by the names' readings.
        {"基盤チーム", false,
         "\"加藤 翔太\"<shota.kato@minato-is.example.jp>; "
         "\"吉田 彩\"<aya.yoshida@minato-is.example.jp>; "
         "\"山本 拓也\"<takuya.yamamoto@minato-is.example.jp>; "
         "\"松本 亮\"<ryo.matsumoto@minato-is.example.jp>; "},
        // A card without an address keeps the frame, or gives an empty item.
        {"佐藤 正雄", false, "\"佐藤 正雄\"<>; "},
        {"佐藤 正雄", true, "; "},
        {"鈴木 一郎", false, "; "},
        {"John Miller", true, "John.Miller@example.com; "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Joined(c.name, c.addressOnly), c.expected) << c.name;
    }
    // 仕事 reaches three levels down: 開発部 (3 + 基盤チーム 4), 取引先 4, 山口 陽子.
    EXPECT_EQ(book_.ExpandRecipients(S("仕事"), kBare).size(), 12u);
}

TEST_F(SampleFolder, EntriesTheWindowShows) {
    EXPECT_EQ(book_.GroupMembers("\\"), (TNameList{S("家族"), S("仕事"), S("友人"), S("趣味")}));
    EXPECT_FALSE(book_.IsGroup(S("鈴木 一郎")));
    EXPECT_EQ(book_.FindCard(S("鈴木 一郎")), -1);
    EXPECT_EQ(book_.CardRecord(S("山歩きの会")), (TCard{S("山歩きの会"), "", "", "", "", ""}));
    const TCard tanaka = book_.CardRecord(S("田中 宏"));
    EXPECT_EQ(tanaka.org, S("北風商事株式会社"));
    EXPECT_EQ(tanaka.org_unit, S("営業部"));
    EXPECT_EQ(tanaka.tel, "06-6231-4450");
    // The memo holds a colon and a character whose second byte is a backslash.
    EXPECT_EQ(book_.CardMemo(S("伊藤 誠")), S("部長 内線: 2101"));
    EXPECT_EQ(book_.CardMemo(S("さいとう歯科")), S("予約用 診療は木曜休み"));
}

}  // namespace
