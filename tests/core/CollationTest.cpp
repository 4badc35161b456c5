#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Collation.h"
#include "core/Encoding.h"

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

struct Case {
    std::string a;
    std::string b;
    int expected;  // sign
};

TEST(Collation, LetterCaseIsIgnoredAndTheRestCounts) {
    const std::vector<Case> cases = {
        {"abc@example.jp", "ABC@EXAMPLE.JP", 0},
        {"a@example.jp", "B@example.jp", -1},
        {"b@example.jp", "A@example.jp", 1},
        {"", "", 0},
        {"", "a", -1},
        {"\"山田\"<a@example.jp>", "\"山田\"<A@Example.JP>", 0},
        {"あ", "ア", -1},  // kana type still counts
        {"a.b@example.jp", "ab@example.jp", -1},
    };
    for (const auto& c : cases) {
        std::string a = Utf8ToCp932(c.a), b = Utf8ToCp932(c.b);
        EXPECT_EQ(Sign(CompareRecipients(a, b)), c.expected) << c.a << " / " << c.b;
        EXPECT_EQ(Sign(CompareRecipients(b, a)), -c.expected) << c.b << " / " << c.a;
        EXPECT_EQ(Sign(RecipientSortKey(a).compare(RecipientSortKey(b))), c.expected)
            << c.a << " / " << c.b;
    }
}

TEST(Collation, SortKeysOrderLikeTheComparison) {
    std::vector<std::string> items;
    for (const char* s : {"Zeta@example.com", "alpha@example.com", "ALPHA@example.com", "山田太郎",
                          "やまだ", "ヤマダ", "1@example.jp", "_x@example.jp", "beta@example.com",
                          "Beta@Example.com", "ｶﾅ", "カナ"}) {
        items.push_back(Utf8ToCp932(s));
    }
    for (const auto& a : items) {
        for (const auto& b : items) {
            EXPECT_EQ(Sign(CompareRecipients(a, b)),
                      Sign(RecipientSortKey(a).compare(RecipientSortKey(b))))
                << Cp932ToUtf8(a) << " / " << Cp932ToUtf8(b);
        }
    }
}

}  // namespace
