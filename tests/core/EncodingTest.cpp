#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Encoding.h"

namespace {

TEST(Encoding, JapaneseTextRoundTrips) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"アドレス帳", "\x83\x41\x83\x68\x83\x8C\x83\x58\x92\xA0"},
        {"表", "\x95\x5C"},  // second byte is a backslash
        {"ｱｲｳ", "\xB1\xB2\xB3"},
        {"abc\\~", "abc\\~"},
        {"①", "\x87\x40"},
        {"", ""},
    };
    for (const auto& [utf8, sjis] : cases) {
        EXPECT_EQ(Utf8ToCp932(utf8), sjis) << utf8;
        EXPECT_EQ(Cp932ToUtf8(sjis), utf8) << utf8;
        EXPECT_TRUE(IsCp932Representable(utf8)) << utf8;
    }
}

TEST(Encoding, ControlBytesPassUnchanged) {
    std::string controls;
    for (int c = 0; c < 0x20; ++c) {
        controls += static_cast<char>(c);
    }
    controls += '\x7F';
    EXPECT_EQ(Cp932ToUtf8(controls), controls);
    EXPECT_EQ(Cp932ToUtf8("\x95\x5C\x1A\x1C\x7F"), "表\x1A\x1C\x7F");
}

TEST(Encoding, BrokenBytesBecomeReplacementCharacters) {
    // A lead byte cut off at the end, and a lead byte with an impossible trail.
    EXPECT_EQ(Cp932ToUtf8("a\x82"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Cp932ToUtf8("\x81\x20z"), "\xEF\xBF\xBD z");
    EXPECT_EQ(Cp932ToUtf16("a\x82"), u"a\uFFFD");
}

TEST(Encoding, CharactersOutsideCp932BecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToCp932("한"), "?");
    EXPECT_FALSE(IsCp932Representable("a😀"));
    EXPECT_FALSE(IsCp932Representable("한국"));
    EXPECT_EQ(Utf8ToCp932("a\xFF"
                          "b"),
              "a?b");  // not UTF-8 at all
}

TEST(Encoding, Utf16CarriesSurrogatePairsAndKana) {
    EXPECT_EQ(Cp932ToUtf16("\x83\x41"
                           "a"),
              u"アa");
    EXPECT_EQ(Cp932ToUtf16(""), u"");
}

TEST(Encoding, PathsConvertBothWays) {
    std::string sjis = "/tmp/" + Utf8ToCp932("メール");
    std::filesystem::path p = Cp932ToPath(sjis);
    EXPECT_EQ(p.string(), "/tmp/メール");
    EXPECT_EQ(PathToCp932(p), sjis);
}

}  // namespace
