// The clipboard's rules that every face follows.
#include <gtest/gtest.h>

#include <string>

#include "core/Errors.h"
#include "ui/Clipboard.h"

namespace {

using namespace std::string_literals;

TEST(ClipboardTest, TextEndsAtTheFirstNul) {
    const struct {
        std::string data, text;
    } cases[] = {
        {"", ""}, {"abc", "abc"}, {"abc\0"s, "abc"}, {"a\0b\0"s, "a"}, {"\0abc"s, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClipboardText(c.data), c.text);
        const std::u16string wide(c.data.begin(), c.data.end());
        EXPECT_EQ(ClipboardText(wide), std::u16string(c.text.begin(), c.text.end()));
    }
}

TEST(ClipboardTest, EveryFailureGivesTheOneMessage) {
    try {
        ThrowClipboardError();
        FAIL() << "no error";
    } catch (const EAppError& e) {
        EXPECT_STREQ(e.what(), "クリップボードを開くことができません");
    }
}

}  // namespace
