#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/Utils.h"
#include "tests/support/TestFiles.h"

namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
    std::string text;
    std::string sep;
    Lines expected;
};

TEST(SplitAtFirst, SplitsAtTheFirstSeparatorAndTrimsBlanks) {
    const std::vector<SplitCase> cases = {
        {"a:b", ":", {"a", "b"}},
        {" a : \tb ", ":", {"a", "b"}},
        {"a:b:x", ":", {"a", "b:x"}},
        {":a", ":", {"", "a"}},
        {"a:", ":", {"a", ""}},
        {"a:  ", ":", {"a", ""}},
        {"", ":", {}},
        {"ab", ":", {}},
        {"a:b", "", {}},
        {"10 , 20", ",", {"10", "20"}},
        {"a::b", "::", {"a", "b"}},
        // A colon inside a double-byte character's second byte cannot occur,
        // but 0x5C (backslash) can: it is no separator here.
        {"\x95\x5C:x", ":", {"\x95\x5C", "x"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitAtFirst(c.text, c.sep), c.expected) << "text: " << c.text;
    }
}

TEST(SplitLines, OnlyCrLfBreaksALine) {
    const std::vector<std::pair<std::string, Lines>> cases = {
        {"a\r\nb", {"a", "b"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\nb", {"a\nb"}},
        {"a\rb", {"a\rb"}},
        {"a\r", {"a\r"}},
        {"", {}},
        {"a\r\r\nb", {"a\r", "b"}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(SplitLines(text), expected);
    }
}

TEST(Trim, BlanksAndCommasAtBothEnds) {
    EXPECT_EQ(TrimBlanks("\t a b\t"), "a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks(""), "");
    EXPECT_EQ(TrimBlanks("\ra\n"), "\ra\n");
    const std::string ideographicSpace = "\x81\x40";
    EXPECT_EQ(TrimBlanks(ideographicSpace + "a" + ideographicSpace),
              ideographicSpace + "a" + ideographicSpace);

    EXPECT_EQ(TrimCommas(",,a,b,,"), "a,b");
    EXPECT_EQ(TrimCommas(",,,"), "");
    EXPECT_EQ(TrimCommas(""), "");
    EXPECT_EQ(TrimCommas("a, "), "a, ");
}

// Every trim of the address book, the preferences and the recipient fields
// goes through TrimmedView: space and tab are its blanks, no other byte.
TEST(Trim, OnlySpaceAndTabAreBlanks) {
    struct Case {
        std::string edge;
        bool blank;
    };
    const std::vector<Case> cases = {
        {" ", true},
        {"\t", true},
        {" \t \t", true},
        {"\r", false},
        {"\n", false},
        {"\v", false},
        {"\f", false},
        {std::string(1, '\0'), false},
        {"\x1A", false},
        {",", false},
        {"\xA0", false},
        {"\x81\x40", false},
        {"\xE3\x80\x80", false},  // U+3000 in UTF-8, as the recipient fields hold it
    };
    for (const auto& c : cases) {
        const std::string text = c.edge + "a" + c.edge;
        const std::string expected = c.blank ? "a" : text;
        EXPECT_EQ(TrimBlanks(text), expected) << testing::PrintToString(c.edge);
        EXPECT_EQ(TrimmedView(text), expected) << testing::PrintToString(c.edge);
        EXPECT_EQ(SplitAtFirst(text + ":" + text, ":"), (Lines{expected, expected}))
            << testing::PrintToString(c.edge);
        EXPECT_EQ(TrimmedView(c.edge), c.blank ? "" : c.edge) << testing::PrintToString(c.edge);
    }
    // Commas are trimmed only when asked for, and only commas.
    EXPECT_EQ(TrimmedView(",, a,b ,", ","), " a,b ");
}

TEST(StrToIntTest, AcceptsDecimalAndHexForms) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"0", 0},
        {"552", 552},
        {"+7", 7},
        {"-4", -4},
        {"   12", 12},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"$10", 16},
        {"0x20", 32},
        {"0X1f", 31},
        {"x10", 16},
        {"XaB", 171},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$0000000012345678", 0x12345678},  // leading zeros are not significant
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    }
}

TEST(StrToIntTest, RejectsEverythingElseNamingTheText) {
    const char* cases[] = {"",    " ",   "abc",  "1a",   "12 ",        "2147483648", "-2147483649",
                           "$",   "0x",  "-$10", "+0x1", "$123456789", "1,2",        "\t5",
                           "--1", "0x1g"};
    for (const char* text : cases) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + text + "' は整数ではありません");
        }
    }
}

Lines ReadAll(const std::filesystem::path& path) {
    Lines lines;
    ReadTextLines(path, [&](const std::string& line) { lines.push_back(line); });
    return lines;
}

TEST(ReadTextLines, HandsOverLinesAsTheReadingRuleSays) {
    const std::vector<std::pair<std::string, Lines>> cases = {
        {"  a \r\n\r\n\tb\r\n", {"a ", "b"}},
        {"a\nb\nc\n", {"a\nb\nc\n"}},
        {"a\nb\r\nc", {"a\nb", "c"}},
        {"a\r\nb\x1A\r\nx", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"", {}},
        {" \t\r\n\x01\x1F ", {}},
        {"\x1A"
         "a",
         {}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\r\n\n\nb", {"a", "b"}},
        {"\x88\x9F\r\n", {"\x88\x9F"}},
        {"\x7F"
         "a",
         {"\x7F"
          "a"}},
    };
    TempDir dir;
    int i = 0;
    for (const auto& [bytes, expected] : cases) {
        auto path = dir.Write("f" + std::to_string(i++), bytes);
        EXPECT_EQ(ReadAll(path), expected) << "case " << i - 1;
    }
}

TEST(ReadTextLines, LongLinesAndBufferBoundariesAreWhole) {
    TempDir dir;
    // Lines that straddle the reader's buffer, a CR at a buffer's last byte
    // and its LF at the next buffer's first.
    std::string longLine(200000, 'x');
    std::string first(64 * 1024 - 1, 'y');
    std::string bytes = first + "\r\n" + longLine + "\r\n  z";
    auto lines = ReadAll(dir.Write("long", bytes));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], first);
    EXPECT_EQ(lines[1], longLine);
    EXPECT_EQ(lines[2], "z");
}

TEST(ReadTextLines, ErrorsCarryTheCodeAndItsWords) {
    TempDir dir;
    try {
        ReadAll(dir.path() / "missing");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        EXPECT_STREQ(e.what(), "ファイルが見つかりません");
    }
    try {
        ReadAll(dir.path());  // a directory
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 5);
        EXPECT_STREQ(e.what(), "ファイルへのアクセスが拒否されました");
    }
    try {
        ReadAll(dir.Write("plain", "x") / "below");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 3);
    }
}

TEST(ReadTextLines, LinesAlreadyHandedOverKeepTheirEffectWhenTheCallerThrows) {
    TempDir dir;
    auto path = dir.Write("f", "a\r\nb\r\nc\r\n");
    Lines seen;
    EXPECT_THROW(ReadTextLines(path,
                               [&](const std::string& line) {
                                   seen.push_back(line);
                                   if (line == "b") {
                                       throw EAppError("stop");
                                   }
                               }),
                 EAppError);
    EXPECT_EQ(seen, (Lines{"a", "b"}));
}

TEST(InOutErrorMessage, WordsForEachCode) {
    const std::vector<std::pair<int, std::string>> cases = {
        {2, "ファイルが見つかりません"},
        {3, "不正なファイル名です"},
        {4, "オープンしたファイルが多すぎます"},
        {5, "ファイルへのアクセスが拒否されました"},
        {100, "ファイルの末尾以降を読み込みました"},
        {101, "ディスクがいっぱいです"},
        {106, "入力値が数値ではありません"},
        {32, "I/O エラー (32)"},
        {-7, "I/O エラー (-7)"},
    };
    for (const auto& [code, words] : cases) {
        EXPECT_EQ(InOutErrorMessage(code), words);
        EXPECT_EQ(EInOutError(code).what(), words);
    }
}

TEST(InOutCodeFromErrno, MapsTheCodesWithTheSameMeaning) {
    EXPECT_EQ(InOutCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(InOutCodeFromErrno(ENOTDIR), 3);
    EXPECT_EQ(InOutCodeFromErrno(ENAMETOOLONG), 3);
    EXPECT_EQ(InOutCodeFromErrno(EMFILE), 4);
    EXPECT_EQ(InOutCodeFromErrno(ENFILE), 4);
    EXPECT_EQ(InOutCodeFromErrno(EACCES), 5);
    EXPECT_EQ(InOutCodeFromErrno(EPERM), 5);
    EXPECT_EQ(InOutCodeFromErrno(EISDIR), 5);
    EXPECT_EQ(InOutCodeFromErrno(ENOSPC), 101);
#ifdef EDQUOT
    EXPECT_EQ(InOutCodeFromErrno(EDQUOT), 101);
#endif
    EXPECT_EQ(InOutCodeFromErrno(EFBIG), 101);
    EXPECT_EQ(InOutCodeFromErrno(EIO), EIO);
    // EIO is 5 on Linux: it must not read as "access denied".
    EXPECT_EQ(InOutErrorFromErrno(EIO).ErrorCode(), EIO);
    EXPECT_EQ(InOutErrorFromErrno(EIO).what(), "I/O エラー (" + std::to_string(EIO) + ")");
    EXPECT_STREQ(InOutErrorFromErrno(EACCES).what(), "ファイルへのアクセスが拒否されました");
    EXPECT_STREQ(InOutErrorFromErrno(ENOSPC).what(), "ディスクがいっぱいです");
    EXPECT_STREQ(InOutErrorFromErrno(EFBIG).what(), "ディスクがいっぱいです");
}

}  // namespace
