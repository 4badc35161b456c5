// Hostile address books, at sizes the suite can afford: cycles, deep chains,
// cross-linked groups, huge member lists, garbage and odd bytes. Each must
// finish, and give what the rules give; the tree stops at its bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AddressBook.h"
#include "core/Encoding.h"
#include "core/GroupTree.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr TRecipientForm kQuoted = TRecipientForm::QuotedName;
constexpr TRecipientForm kBare = TRecipientForm::AddressOnly;

using namespace std::string_literals;

class HostileBookTest : public ::testing::Test {
  protected:
    const TAddressBook& Read(const std::string& cards, const std::string& groups) {
        dir_.Write("card.dat", cards);
        dir_.Write("group.dat", groups);
        book_ = TAddressBook{};
        book_.SetFolder(dir_.path().string());
        book_.Load();
        return book_;
    }

    TempDir dir_;
    TAddressBook book_;
};

std::string Group(const std::string& name, const std::vector<std::string>& entries) {
    std::string s = "Name: " + name + "\r\n";
    for (const std::string& e : entries) {
        s += "Entry: " + e + "\r\n";
    }
    return s + ".\r\n";
}

std::string Cards(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += "Nickname: c" + std::to_string(i) + "\r\nAddress: c" + std::to_string(i) +
             "@example.jp\r\n.\r\n";
    }
    return s;
}

// No node repeats a group on its path; parents come first; depths agree.
void ExpectWellFormed(const std::vector<TGroupTreeNode>& nodes) {
    ASSERT_FALSE(nodes.empty());
    EXPECT_EQ(nodes[0].Name, "\\");
    for (size_t i = 1; i < nodes.size(); ++i) {
        const TGroupTreeNode& n = nodes[i];
        ASSERT_GE(n.Parent, 0);
        ASSERT_LT(static_cast<size_t>(n.Parent), i);
        ASSERT_EQ(n.Depth, nodes[static_cast<size_t>(n.Parent)].Depth + 1);
        for (int p = n.Parent; p >= 0; p = nodes[static_cast<size_t>(p)].Parent) {
            ASSERT_NE(nodes[static_cast<size_t>(p)].Name, n.Name) << "node " << i;
        }
    }
}

// A cut tree holds the first nodes of the whole tree, in tree order.
void ExpectPrefixOf(const std::vector<TGroupTreeNode>& cut, const TAddressBook& book) {
    const auto whole = BuildGroupTree(book, cut.size());
    ASSERT_EQ(whole.size(), cut.size());
    for (size_t i = 0; i < cut.size(); ++i) {
        ASSERT_EQ(cut[i].Name, whole[i].Name) << i;
        ASSERT_EQ(cut[i].Parent, whole[i].Parent) << i;
    }
}

TEST_F(HostileBookTest, CrossLinkedGroupsStopAtTheNodeBound) {
    // Every level lists both groups of the next: 2^25 paths, no cycle.
    std::string groups = Group("\\", {"a0", "b0"});
    for (int level = 0; level < 24; ++level) {
        const std::string next = std::to_string(level + 1);
        groups += Group("a" + std::to_string(level), {"c0", "a" + next, "b" + next});
        groups += Group("b" + std::to_string(level), {"a" + next, "b" + next});
    }
    const auto& book = Read(Cards(1), groups);
    bool cut = false;
    const auto nodes = BuildGroupTree(book, kMaxTreeNodes, &cut, kMaxTreeDepth);
    EXPECT_TRUE(cut);
    EXPECT_EQ(nodes.size(), kMaxTreeNodes);
    ExpectWellFormed(nodes);
    ExpectPrefixOf(nodes, book);
    // The expansion is not bounded: the card and the unknown names of the last level.
    EXPECT_EQ(book.ExpandRecipients("a0", kQuoted).size(), 2u);
}

TEST_F(HostileBookTest, DeepChainStopsBelowTheDepthBound) {
    struct Case {
        int depth;
        bool cut;
    };
    for (const Case c : {Case{static_cast<int>(kMaxTreeDepth), false},
                         Case{static_cast<int>(kMaxTreeDepth) + 1, true}, Case{20000, true}}) {
        std::string groups = Group("\\", {"g0"});
        for (int i = 0; i < c.depth; ++i) {
            groups += Group("g" + std::to_string(i),
                            {i + 1 < c.depth ? "g" + std::to_string(i + 1) : "c0"});
        }
        const auto& book = Read(Cards(1), groups);
        bool cut = false;
        const auto nodes = BuildGroupTree(book, kMaxTreeNodes, &cut, kMaxTreeDepth);
        EXPECT_EQ(cut, c.cut) << c.depth;
        EXPECT_EQ(nodes.size(), kMaxTreeDepth + 1) << c.depth;
        EXPECT_EQ(static_cast<size_t>(nodes.back().Depth), kMaxTreeDepth) << c.depth;
        // Without a depth bound the whole chain is built, without recursion.
        EXPECT_EQ(BuildGroupTree(book).size(), static_cast<size_t>(c.depth) + 1) << c.depth;
        EXPECT_EQ(book.JoinedRecipients("g0", kBare), "c0@example.jp; ") << c.depth;
    }
}

TEST_F(HostileBookTest, SelfContainingGroupExpandsOnceAndHasOneNode) {
    std::vector<std::string> entries(10000, "g");
    entries.push_back("c0");
    const auto& book = Read(Cards(1), Group("\\", {"g", "\\"}) + Group("g", entries));
    EXPECT_EQ(book.JoinedRecipients("g", kQuoted), "\"c0\"<c0@example.jp>; ");
    bool cut = true;
    const auto nodes = BuildGroupTree(book, kMaxTreeNodes, &cut, kMaxTreeDepth);
    EXPECT_FALSE(cut);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1].Name, "g");
}

TEST_F(HostileBookTest, GroupsAllContainingEachOtherFinish) {
    constexpr int kGroups = 100;  // 10,000 memberships
    std::string groups = Group("\\", {"m0"});
    for (int i = 0; i < kGroups; ++i) {
        std::vector<std::string> entries{"c" + std::to_string(i)};
        for (int j = 0; j < kGroups; ++j) {
            entries.push_back("m" + std::to_string(j));
        }
        groups += Group("m" + std::to_string(i), entries);
    }
    const auto& book = Read(Cards(kGroups), groups);
    for (const char* g : {"m0", "m57", "m99"}) {
        EXPECT_EQ(book.ExpandRecipients(g, kQuoted).size(), static_cast<size_t>(kGroups)) << g;
    }
    bool cut = false;
    const auto nodes = BuildGroupTree(book, 20000, &cut, kMaxTreeDepth);
    EXPECT_TRUE(cut);
    EXPECT_EQ(nodes.size(), 20000u);
    ExpectWellFormed(nodes);
}

TEST_F(HostileBookTest, EntriesLeadingBackOnThePathStopAtTheStepBound) {
    // 200 parents over a, whose x lists a 20,000 times: every x node looks at
    // 20,000 entries that add nothing. A step bound of a million ends the walk
    // (the shipped bound is larger; it works the same).
    std::vector<std::string> parents, xEntries(20000, "a");
    std::string groups;
    for (int i = 0; i < 200; ++i) {
        parents.push_back("p" + std::to_string(i));
        groups += Group(parents.back(), {"a"});
    }
    groups += Group("\\", parents) + Group("a", {"x"}) + Group("x", xEntries);
    const auto& book = Read(Cards(1), groups);
    constexpr size_t kSteps = 1000000;
    TGroupTreeBuilder builder(book, kMaxTreeNodes, kMaxTreeDepth, kSteps);
    const int root = builder.AddRoot();
    for (const std::string& p : parents) {
        builder.Add(p, root);
    }
    EXPECT_TRUE(builder.Truncated());
    const auto& nodes = builder.Nodes();
    // Each parent brings p, a and x; the bound falls within the 50th x.
    EXPECT_EQ(nodes.size(), 1u + 3 * (kSteps / 20000));
    ExpectWellFormed(nodes);
    ExpectPrefixOf(nodes, book);
    // With room for every step the whole tree comes: the root and 600 nodes.
    TGroupTreeBuilder roomy(book, kMaxTreeNodes, kMaxTreeDepth, 200 * 20002);
    const int top = roomy.AddRoot();
    for (const std::string& p : parents) {
        roomy.Add(p, top);
    }
    EXPECT_FALSE(roomy.Truncated());
    EXPECT_EQ(roomy.Nodes().size(), 601u);
}

TEST_F(HostileBookTest, CardMembersCostNothingWhenTheirGroupComesAgain) {
    // 2,000 parents list one group of 200,000 card entries. Not cut: card
    // entries are no steps of the walk.
    std::vector<std::string> parents, wide;
    std::string groups;
    for (int i = 0; i < 2000; ++i) {
        parents.push_back("p" + std::to_string(i));
        groups += Group(parents.back(), {"w"});
    }
    for (int i = 0; i < 200000; ++i) {
        wide.push_back("c" + std::to_string(i % 1000));
    }
    groups += Group("\\", parents) + Group("w", wide);
    const auto& book = Read(Cards(1000), groups);
    bool cut = true;
    const auto nodes = BuildGroupTree(book, kMaxTreeNodes, &cut, kMaxTreeDepth);
    EXPECT_FALSE(cut);
    EXPECT_EQ(nodes.size(), 1u + 2 * 2000);
    EXPECT_EQ(book.GroupMembers("w").size(), 200000u);
    EXPECT_EQ(book.ExpandRecipients("p3", kQuoted).size(), 1000u);
}

TEST_F(HostileBookTest, ManyRecordsUnderOneNameAreFoundByTheFirst) {
    // 100,000 empty cards and as many of one nickname: the first wins.
    std::string cards;
    for (int i = 0; i < 100000; ++i) {
        cards += ".\r\nNickname: same\r\nAddress: a" + std::to_string(i) + "\r\n.\r\n";
    }
    const auto& book = Read(cards, "");
    EXPECT_EQ(book.CardCount(), 200000u);
    EXPECT_EQ(book.FindCard(""), 0);
    EXPECT_EQ(book.FindCard("same"), 1);
    EXPECT_EQ(book.CardAddress("same"), "a0");
}

TEST_F(HostileBookTest, OddBytesStayInTheirNames) {
    // Bytes 0 inside names and before a line; a double-byte character cut at a
    // line end and at the end of the file; byte 26 in mid-line ends the file.
    const std::string cards =
        "\0\0Nickname: a\0b\r\nAddress: x\0@example.jp\r\n.\r\n"
        "Nickname: \x82\xa0z\x82\r\nAddress: y@example.jp\x82\r\n.\r\n"
        "Nickname: \x82\r\n.\x82"s;
    const std::string groups =
        "Name: \\\r\nEntry: g\0\r\n.\r\n"
        "Name: g\0\r\nEntry: a\0b\r\nEntry: \x82\xa0z\x82\r\n.\r\n"
        "Name: cut\x1a\r\n.\r\nName: after\r\n.\r\n"s;
    const auto& book = Read(cards, groups);
    EXPECT_EQ(book.CardCount(), 3u);
    EXPECT_EQ(book.CardAddress("a\0b"s), "x\0@example.jp"s);
    EXPECT_EQ(book.CardAddress("\x82\xa0z\x82"), "y@example.jp\x82");
    EXPECT_EQ(book.FindCard("\x82"), 2);
    // The name with a cut character shows with a replacement character.
    EXPECT_NE(Cp932ToUtf8("\x82\xa0z\x82").find("\xef\xbf\xbd"), std::string::npos);
    ASSERT_EQ(book.Groups().size(), 2u);
    EXPECT_FALSE(book.IsGroup("after"));
    EXPECT_EQ(book.ExpandRecipients("g\0"s, kBare).size(), 2u);
    const auto nodes = BuildGroupTree(book, kMaxTreeNodes, nullptr, kMaxTreeDepth);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1].Name, "g\0"s);
}

// Lines as the reader hands them over, counting those that start with '.'.
size_t Terminators(const std::string& bytes) {
    size_t count = 0;
    bool inLine = false;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == 26) {
            break;
        }
        if (!inLine) {
            if (b > 32) {
                inLine = true;
                count += b == '.';
            }
        } else if (b == '\r') {
            inLine = false;
        }
    }
    return count;
}

TEST_F(HostileBookTest, GarbageGivesTheRecordsItsLinesMake) {
    uint64_t state = 42;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    };
    for (int round = 0; round < 3; ++round) {
        std::string cards(300000, '\0'), groups(300000, '\0');
        for (std::string* s : {&cards, &groups}) {
            const char special[] = {'\r', '\n', '.', ':', ',', ' ', '\x1a', '\x82'};
            for (char& c : *s) {
                const uint32_t r = next();
                c = (r & 3) == 0 ? special[(r >> 2) & 7] : static_cast<char>(r >> 8);
            }
            // Byte 26 only near the end, so most of the file is read.
            for (size_t i = 0; i + 1000 < s->size(); ++i) {
                if ((*s)[i] == '\x1a') {
                    (*s)[i] = '\x1b';
                }
            }
            for (int k = 0; k < 300; ++k) {
                const std::string a = std::to_string(next() % 40), b = std::to_string(next() % 40);
                s->insert(next() % s->size(), "\r\nName: " + (k % 30 ? "g" + a : "\\") +
                                                  "\r\nNickname: g" + b + "\r\nEntry: g" + b +
                                                  "\r\n.\r\n");
            }
        }
        const auto& book = Read(cards, groups);
        EXPECT_EQ(book.CardCount(), Terminators(cards)) << round;
        EXPECT_EQ(book.Groups().size(), Terminators(groups)) << round;
        for (const TGroup& g : book.Groups()) {
            book.JoinedRecipients(g.Name, kQuoted);
            Cp932ToUtf8(g.Name);
        }
        bool cut = false;
        const auto nodes = BuildGroupTree(book, 5000, &cut, kMaxTreeDepth);
        ExpectWellFormed(nodes);
        EXPECT_LE(nodes.size(), 5000u);
    }
}

}  // namespace
