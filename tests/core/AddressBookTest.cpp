#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/AddressBook.h"
#include "core/Collation.h"
#include "core/Errors.h"
#include "core/GroupTree.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr TRecipientForm kQuoted = TRecipientForm::QuotedName;
constexpr TRecipientForm kBare = TRecipientForm::AddressOnly;

using Names = std::vector<std::string>;

// A book read from the given card.dat and group.dat bytes (nullptr: no file).
class BookTest : public ::testing::Test {
  protected:
    const TAddressBook& Read(const char* cards, const char* groups) {
        if (cards) {
            dir_.Write("card.dat", cards);
        }
        if (groups) {
            dir_.Write("group.dat", groups);
        }
        book_ = TAddressBook{};
        book_.SetFolder(dir_.path().string());
        book_.Load();
        return book_;
    }

    TempDir dir_;
    TAddressBook book_;
};

TCard Card(std::string nick, std::string memo, std::string tel, std::string org, std::string unit,
           std::string address) {
    return TCard{nick, memo, tel, org, unit, address};
}

TEST_F(BookTest, CardRecordsAsTheFileFormatReadsThem) {
    struct Case {
        const char* file;
        std::vector<TCard> expected;
    };
    const std::vector<Case> cases = {
        {"Nickname: a\r\nAddress: x\r\n.\r\n", {Card("a", "", "", "", "", "x")}},
        {"Nickname: a\r\nMemo: m\r\ntel: 1\r\norg: o\r\norg_unit: u\r\nAddress: x\r\n.\r\n",
         {Card("a", "m", "1", "o", "u", "x")}},
        // Continuation lines extend Address, whatever came before them.
        {"Address: a,\r\n  b,\r\n.\r\n", {Card("", "", "", "", "", "a;b")}},
        {"b\r\nNickname: n\r\n.\r\n", {Card("n", "", "", "", "", ";b")}},
        {"Address: a\r\nMemo: m\r\nb\r\n.\r\n", {Card("", "m", "", "", "", "a;b")}},
        // A line with a colon is a field line, even with an unknown key.
        {"Address: a\r\nhttp://example.jp/\r\n.\r\n", {Card("", "", "", "", "", "a")}},
        {"Address: a ,\r\n.\r\n", {Card("", "", "", "", "", "a ")}},
        {"nickname: a\r\nTel: 1\r\n.\r\n", {Card("", "", "", "", "", "")}},
        {"Nickname:  \r\n.\r\n", {Card("", "", "", "", "", "")}},
        // Only space and tab are blanks; blanks go before commas.
        {"Nickname:\x81\x40n\v\r\nAddress: a\f\r\nb\f \t,\r\n.\r\n",
         {Card("\x81\x40n\v", "", "", "", "", "a\f;b\f \t")}},
        {"Nickname: a:b\r\n.\r\n", {Card("a:b", "", "", "", "", "")}},
        {"Nickname: a\r\nNickname: b\r\n.\r\n", {Card("b", "", "", "", "", "")}},
        // A later Address drops the continuation lines gathered so far.
        {"Address: a\r\nb\r\nAddress: c\r\n.\r\n", {Card("", "", "", "", "", "c")}},
        {".\r\n.\r\n", {TCard{}, TCard{}}},
        {"Nickname: a\r\n...\r\nNickname: b\r\n.x\r\n  .\r\n",
         {Card("a", "", "", "", "", ""), Card("b", "", "", "", "", ""), TCard{}}},
        {"Nickname: a\r\n.\r\nNickname: b\r\n", {Card("a", "", "", "", "", "")}},
        {"Nickname: a\r\n", {}},
        {"Nickname: a\n.\n", {}},  // LF only: one line, no terminator
        {"Nickname: a\r\nAddress: x\x1A.\r\n", {}},
        {"", {}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& book = Read(cases[i].file, nullptr);
        EXPECT_EQ(book.Cards(), cases[i].expected) << "case " << i;
        EXPECT_TRUE(book.Groups().empty());
    }
}

TEST_F(BookTest, GroupRecordsAsTheFileFormatReadsThem) {
    struct Case {
        const char* file;
        std::string name;
        Names members;
    };
    const std::vector<Case> cases = {
        {"Name: a\r\nEntry: b,\r\nEntry: x\r\n.\r\n", "a", {"b", "x"}},
        {"Name: a\r\nEntry: b,,\r\n.\r\n", "a", {"b,"}},
        {"Name: a\r\nEntry: ,b\r\n.\r\n", "a", {",b"}},
        {"Name: a\r\nEntry:\r\n.\r\n", "a", {""}},
        {"Name: a\r\n,b,,\r\n.\r\n", "a", {"b"}},
        {"Name: a\r\na, b\r\n.\r\n", "a", {"a, b"}},
        {"Entry: b\r\n.\r\n", "", {"b"}},
        {"Name: a\r\nName: c\r\nEntry: b\r\nEntry: b\r\n.\r\n", "c", {"b", "b"}},
        {"Name: a\r\nentry: b\r\nMemo: x\r\n.\r\n", "a", {}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& book = Read(nullptr, cases[i].file);
        ASSERT_EQ(book.Groups().size(), 1u) << "case " << i;
        EXPECT_EQ(book.Groups()[0].Name, cases[i].name) << "case " << i;
        EXPECT_EQ(book.Groups()[0].Members, cases[i].members) << "case " << i;
    }
}

TEST_F(BookTest, SetFolderAddsOneSeparator) {
    TAddressBook book;
    book.SetFolder("/mail");
    EXPECT_EQ(book.Folder(), "/mail/");
    book.SetFolder("/mail/");
    EXPECT_EQ(book.Folder(), "/mail/");
    book.SetFolder("");
    EXPECT_EQ(book.Folder(), "");
}

TEST_F(BookTest, MissingFilesGiveEmptyTables) {
    EXPECT_EQ(Read(nullptr, nullptr).CardCount(), 0u);
    const auto& onlyCards = Read("Nickname: a\r\n.\r\n", nullptr);
    EXPECT_EQ(onlyCards.CardCount(), 1u);
    EXPECT_TRUE(onlyCards.Groups().empty());
}

TEST_F(BookTest, DirectoryNamedLikeTheFileCountsAsNoFile) {
    std::filesystem::create_directory(dir_.path() / "card.dat");
    const auto& book = Read(nullptr, "Name: g\r\n.\r\n");
    EXPECT_EQ(book.CardCount(), 0u);
    EXPECT_EQ(book.Groups().size(), 1u);
}

TEST_F(BookTest, ReadErrorInTheCardFileStopsTheLoadBeforeTheGroups) {
    // Reading /proc/self/mem at offset 0 fails with EIO, even for root.
    std::filesystem::create_symlink("/proc/self/mem", dir_.path() / "card.dat");
    dir_.Write("group.dat", "Name: g\r\n.\r\n");
    TAddressBook book;
    book.SetFolder(dir_.path().string());
    try {
        book.Load();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), EIO);
        EXPECT_EQ(e.what(), "I/O エラー (" + std::to_string(EIO) + ")");
    }
    EXPECT_TRUE(book.Groups().empty());
}

constexpr const char* kCards =
    "Nickname: Ann\r\nAddress: ann@example.jp\r\nMemo: first\r\n.\r\n"
    "Nickname: bob\r\nAddress: Bob@example.jp\r\n.\r\n"
    "Nickname: Ann\r\nAddress: second-ann@example.jp\r\nMemo: second\r\n.\r\n"
    "Nickname: upper\r\nAddress: ANN@EXAMPLE.JP\r\n.\r\n"
    "Nickname: noaddr\r\n.\r\n"
    "Nickname: both\r\nAddress: both-card@example.jp\r\n.\r\n";

constexpr const char* kGroups =
    "Name: \\\r\nEntry: g\r\nEntry: bob\r\nEntry: both\r\n.\r\n"
    "Name: g\r\nEntry: bob\r\nEntry: Ann\r\nEntry: h\r\n.\r\n"
    "Name: h\r\nEntry: Ann\r\nEntry: ghost\r\n.\r\n"
    "Name: empty\r\n.\r\n"
    "Name: both\r\nEntry: bob\r\n.\r\n"
    "Name: dup\r\nEntry: bob\r\nEntry: bob\r\n.\r\n"
    "Name: cased\r\nEntry: Ann\r\nEntry: upper\r\n.\r\n"
    "Name: cased2\r\nEntry: upper\r\nEntry: Ann\r\n.\r\n"
    "Name: g\r\nEntry: nobody\r\n.\r\n";

TEST_F(BookTest, QueriesAnswerFromTheFirstRecordOfAName) {
    const auto& book = Read(kCards, kGroups);
    EXPECT_EQ(book.FindCard("Ann"), 0);
    EXPECT_EQ(book.FindCard("ann"), -1);
    EXPECT_EQ(book.FindGroup("g"), 1);
    EXPECT_TRUE(book.IsGroup("both"));
    EXPECT_FALSE(book.IsGroup("bob"));
    EXPECT_EQ(book.GroupMembers("g"), (Names{"bob", "Ann", "h"}));
    EXPECT_EQ(book.GroupMembers("\\"), (Names{"g", "bob", "both"}));
    EXPECT_TRUE(book.GroupMembers("bob").empty());
    EXPECT_EQ(book.CardAddress("Ann"), "ann@example.jp");
    EXPECT_EQ(book.CardMemo("Ann"), "first");
    EXPECT_EQ(book.CardAddress("nobody"), "");
    EXPECT_EQ(book.CardMemo("nobody"), "");
    EXPECT_EQ(book.CardRecipient("Ann"), "\"Ann\"<ann@example.jp>");
    EXPECT_EQ(book.CardRecipient("noaddr"), "\"noaddr\"<>");
    EXPECT_EQ(book.CardRecipient("g"), "");
    EXPECT_EQ(book.CardRecord("both"), Card("both", "", "", "", "", "both-card@example.jp"));
    EXPECT_EQ(book.CardRecord("g"), Card("g", "", "", "", "", ""));
    EXPECT_EQ(book.CardRecord("nobody"), TCard{});
}

TEST_F(BookTest, RecipientsInBothForms) {
    const auto& book = Read(kCards, kGroups);
    struct Case {
        std::string mailAddressOnly;
        std::string name;
        std::string joined;
    };
    const std::vector<Case> cases = {
        {"YES", "Ann", "ann@example.jp; "},
        {"", "Ann", "\"Ann\"<ann@example.jp>; "},
        {"YES", "nobody", "; "},
        {"", "nobody", "; "},
        {"YES", "noaddr", "; "},
        {"", "noaddr", "\"noaddr\"<>; "},
        {"YES", "empty", ""},
        // g holds bob, Ann and h, which holds Ann again and an unknown name.
        {"YES", "g", "; ann@example.jp; Bob@example.jp; "},
        {"", "g", "; \"Ann\"<ann@example.jp>; \"bob\"<Bob@example.jp>; "},
        {"YES", "dup", "Bob@example.jp; "},
        // Same address in another case: the member that comes first stays.
        {"YES", "cased", "ann@example.jp; "},
        {"YES", "cased2", "ANN@EXAMPLE.JP; "},
        // A name that is both group and card expands as the group.
        {"YES", "both", "Bob@example.jp; "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(book.JoinedRecipients(c.name, c.mailAddressOnly == "YES" ? kBare : kQuoted),
                  c.joined)
            << c.name << " with MailAddressOnly=" << c.mailAddressOnly;
    }
    EXPECT_EQ(book.ExpandRecipients("nobody", kBare), (Names{""}));
    EXPECT_TRUE(book.ExpandRecipients("empty", kBare).empty());
}

TEST_F(BookTest, ItemsSortCaseInsensitivelyNotInMemberOrder) {
    const auto& book = Read(
        "Nickname: b\r\nAddress: B@example.jp\r\n.\r\nNickname: a\r\nAddress: a@example.jp\r\n.\r\n"
        "Nickname: c\r\nAddress: c@example.jp\r\n.\r\n",
        "Name: g\r\nEntry: c\r\nEntry: b\r\nEntry: a\r\n.\r\n");
    EXPECT_EQ(book.ExpandRecipients("g", kBare),
              (Names{"a@example.jp", "B@example.jp", "c@example.jp"}));
}

TEST_F(BookTest, CyclesEndAndEveryReachableCardCountsOnce) {
    const auto& book = Read(
        "Nickname: a\r\nAddress: a@example.jp\r\n.\r\nNickname: b\r\nAddress: "
        "b@example.jp\r\n.\r\n",
        "Name: self\r\nEntry: self\r\nEntry: a\r\n.\r\n"
        "Name: x\r\nEntry: y\r\nEntry: a\r\n.\r\n"
        "Name: y\r\nEntry: z\r\n.\r\n"
        "Name: z\r\nEntry: x\r\nEntry: b\r\n.\r\n");
    EXPECT_EQ(book.JoinedRecipients("self", kBare), "a@example.jp; ");
    EXPECT_EQ(book.JoinedRecipients("x", kBare), "a@example.jp; b@example.jp; ");
    EXPECT_EQ(book.JoinedRecipients("z", kBare), "a@example.jp; b@example.jp; ");
}

TEST_F(BookTest, DeepChainsExpandWithoutOverflowingTheStack) {
    constexpr int kDepth = 100000;
    std::string groups;
    for (int i = 0; i < kDepth; ++i) {
        groups += "Name: g" + std::to_string(i) + "\r\nEntry: g" + std::to_string(i + 1) +
                  "\r\nEntry: c" + std::to_string(i % 3) + "\r\n.\r\n";
    }
    groups += "Name: g" + std::to_string(kDepth) + "\r\nEntry: g0\r\n.\r\n";  // and round
    groups += "Name: \\\r\nEntry: g0\r\n.\r\n";
    std::string cards;
    for (int i = 0; i < 3; ++i) {
        cards += "Nickname: c" + std::to_string(i) + "\r\nAddress: c" + std::to_string(i) +
                 "@example.jp\r\n.\r\n";
    }
    const auto& book = Read(cards.c_str(), groups.c_str());
    EXPECT_EQ(book.JoinedRecipients("g0", kBare), "c0@example.jp; c1@example.jp; c2@example.jp; ");
    EXPECT_EQ(book.JoinedRecipients("g99999", kBare),
              "c0@example.jp; c1@example.jp; c2@example.jp; ");

    auto tree = BuildGroupTree(book);
    ASSERT_EQ(tree.size(), static_cast<size_t>(kDepth + 2));
    EXPECT_EQ(tree.back().Name, "g" + std::to_string(kDepth));
    EXPECT_EQ(tree.back().Depth, kDepth + 1);
}

Names TreeLines(const std::vector<TGroupTreeNode>& tree) {
    Names lines;
    for (const auto& node : tree) {
        lines.push_back(std::string(static_cast<size_t>(node.Depth) * 2, ' ') + node.Name);
        if (node.Parent >= 0) {
            EXPECT_LT(node.Parent, static_cast<int>(&node - tree.data()));
            EXPECT_EQ(tree[static_cast<size_t>(node.Parent)].Depth + 1, node.Depth);
        }
    }
    return lines;
}

TEST_F(BookTest, TreeHasANodeUnderEveryParentAndCutsCyclesOnThePath) {
    const auto& book =
        Read("Nickname: card\r\n.\r\n",
             "Name: \\\r\nEntry: a\r\nEntry: card\r\nEntry: b\r\nEntry: \\\r\nEntry: ghost\r\n.\r\n"
             "Name: a\r\nEntry: c\r\nEntry: a\r\n.\r\n"
             "Name: b\r\nEntry: c\r\nEntry: b2\r\n.\r\n"
             "Name: b2\r\nEntry: b\r\nEntry: c\r\n.\r\n"
             "Name: c\r\nEntry: a\r\n.\r\n");
    EXPECT_EQ(
        TreeLines(BuildGroupTree(book)),
        (Names{"\\", "  a", "    c", "  b", "    c", "      a", "    b2", "      c", "        a"}));
    bool truncated = false;
    auto cut = BuildGroupTree(book, 4, &truncated);
    EXPECT_TRUE(truncated);
    EXPECT_EQ(TreeLines(cut), (Names{"\\", "  a", "    c", "  b"}));
    BuildGroupTree(book, 100, &truncated);
    EXPECT_FALSE(truncated);
}

TEST_F(BookTest, TreeOfABookWithoutRootGroupIsTheRootAlone) {
    const auto& book = Read(nullptr, "Name: a\r\n.\r\n");
    EXPECT_EQ(TreeLines(BuildGroupTree(book)), (Names{"\\"}));
}

TEST_F(BookTest, ExpansionIsSortedAndDuplicateFreeUnderTheComparison) {
    std::string cards, entries;
    for (int i = 0; i < 500; ++i) {
        std::string n = std::to_string((i * 7919) % 500);
        cards += "Nickname: p" + std::to_string(i) + "\r\nAddress: " + (i % 2 ? "User" : "user") +
                 n + "@Example.jp\r\n.\r\n";
        entries += "Entry: p" + std::to_string(i) + "\r\n";
    }
    const auto& book = Read(cards.c_str(), ("Name: all\r\n" + entries + ".\r\n").c_str());
    auto list = book.ExpandRecipients("all", kBare);
    EXPECT_EQ(list.size(), 500u);
    for (size_t i = 1; i < list.size(); ++i) {
        EXPECT_LT(CompareRecipients(list[i - 1], list[i]), 0) << list[i - 1] << " " << list[i];
    }
}

}  // namespace
