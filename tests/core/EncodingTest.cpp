#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include "core/Encoding.h"
#include "core/TextUtf.h"

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

// The system's own cp932 decoder, byte by byte as the program decoded before:
// U+FFFD for a sequence it rejects or that is cut off, then one byte on.
std::u16string IconvCp932ToUtf16(const std::string& in) {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    std::u16string out;
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char16_t buf[256];
        char* dst = reinterpret_cast<char*>(buf);
        size_t room = sizeof buf;
        const size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, (sizeof buf - room) / sizeof(char16_t));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out += u'\uFFFD';
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return out;
}

// Every byte, every pair, and random runs of them decode as the system's
// decoder decodes them, in UTF-16 and in UTF-8.
TEST(Encoding, DecodesEverySequenceAsTheSystemDoes) {
    std::vector<std::string> inputs;
    for (int a = 0; a < 256; ++a) {
        inputs.push_back(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b) {
            inputs.push_back({static_cast<char>(a), static_cast<char>(b)});
        }
    }
    std::mt19937 random(932);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 2000; ++i) {
        std::string run;
        for (int j = 0; j < 40; ++j) {
            run += static_cast<char>(byte(random));
        }
        inputs.push_back(run);
    }
    size_t wrong = 0;
    for (const std::string& in : inputs) {
        const std::u16string expected = IconvCp932ToUtf16(in);
        if (Cp932ToUtf16(in) != expected || Cp932ToUtf8(in) != Utf16ToUtf8(expected)) {
            if (++wrong <= 10) {
                ADD_FAILURE() << "bytes of length " << in.size() << " starting "
                              << static_cast<int>(static_cast<unsigned char>(in[0]));
            }
        }
    }
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
