#include "core/QuoteTransform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct QuoteCase {
    const char* name;
    std::string input;
    std::string expected;  // with "Q" standing for the quote mark
};

std::string WithMark(const std::string& pattern, const std::string& mark) {
    std::string out;
    for (char c : pattern) {
        if (c == 'Q') {
            out += mark;
        } else {
            out += c;
        }
    }
    return out;
}

class QuoteLinesTable : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteLinesTable, EveryMark) {
    const QuoteCase& c = GetParam();
    // The input never contains 'Q' except where the case puts the mark itself.
    for (const std::string mark : {"> ", ">", "", "| ", " \t", "\x81\x84 ", "引用> "}) {
        SCOPED_TRACE("mark=[" + mark + "]");
        EXPECT_EQ(QuoteLines(WithMark(c.input, mark), mark), WithMark(c.expected, mark));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuoteLinesTable,
    ::testing::Values(
        QuoteCase{"Empty", "", ""}, QuoteCase{"NoFinalBreak", "a\r\nb", "Qa\r\nQb\r\n"},
        QuoteCase{"FinalBreak", "a\r\nb\r\n", "Qa\r\nQb\r\n"},
        QuoteCase{"EmptyLineBetween", "a\r\n\r\nb", "Qa\r\nQ\r\nQb\r\n"},
        QuoteCase{"OnlyBreak", "\r\n", "Q\r\n"}, QuoteCase{"LoneLf", "a\nb", "Qa\nb\r\n"},
        QuoteCase{"LoneCrAtEnd", "a\r", "Qa\r\r\n"}, QuoteCase{"QuotedBefore", "Qa\r\n", "QQa\r\n"},
        QuoteCase{"LeadingBlanksStay", "  a \t\r\n\tb", "Q  a \t\r\nQ\tb\r\n"},
        QuoteCase{"EmptyLineBeforeFinalBreak", "a\r\n\r\n", "Qa\r\nQ\r\n"},
        QuoteCase{"SeveralBreaksOnly", "\r\n\r\n\r\n", "Q\r\nQ\r\nQ\r\n"},
        QuoteCase{"CrBeforeCrLf", "a\r\r\nb", "Qa\r\r\nQb\r\n"},
        QuoteCase{"MultiByteText",
                  "\xe6\x97\xa5\xe6\x9c\xac\r\n\xf0\x9f\x98\x80\xed\x95\x9c\r\n"
                  "\x93\xfa\x96\x7b\x95\x5c",
                  "Q\xe6\x97\xa5\xe6\x9c\xac\r\nQ\xf0\x9f\x98\x80\xed\x95\x9c\r\n"
                  "Q\x93\xfa\x96\x7b\x95\x5c\r\n"}),
    [](const ::testing::TestParamInfo<QuoteCase>& info) { return std::string(info.param.name); });

TEST(QuoteLines, EmptyMarkOnlyAddsMissingFinalBreak) {
    EXPECT_EQ(QuoteLines("a\r\nb", ""), "a\r\nb\r\n");
    EXPECT_EQ(QuoteLines("a\r\nb\r\n", ""), "a\r\nb\r\n");
}

TEST(QuoteLines, NulBytesAreOrdinary) {
    const std::string in("a\0b\r\nc", 6);
    EXPECT_EQ(QuoteLines(in, "> "), std::string("> a\0b\r\n> c\r\n", 12));
}

struct BreakCase {
    std::string lf;    // as a Linux program puts it on the clipboard
    std::string crlf;  // as the transform sees it
};

TEST(LineBreakMapping, LfToCrLfKeepsExistingPairs) {
    const BreakCase cases[] = {
        {"", ""},         {"a", "a"},           {"a\nb", "a\r\nb"},
        {"a\n", "a\r\n"}, {"\n\n", "\r\n\r\n"}, {"\na", "\r\na"},
    };
    for (const BreakCase& c : cases) {
        SCOPED_TRACE(c.lf);
        EXPECT_EQ(LfToCrLf(c.lf), c.crlf);
        EXPECT_EQ(CrLfToLf(c.crlf), c.lf);
    }
    EXPECT_EQ(LfToCrLf("a\r\nb\nc"), "a\r\nb\r\nc");
    EXPECT_EQ(LfToCrLf("a\rb\r"), "a\rb\r");
    EXPECT_EQ(LfToCrLf("\r\n\n"), "\r\n\r\n");
    EXPECT_EQ(CrLfToLf("a\rb\r"), "a\rb\r");
    EXPECT_EQ(CrLfToLf("a\r\r\n"), "a\r\n");
}

// The road of the quote button: clipboard text in, mapped, quoted, mapped back.
TEST(LineBreakMapping, QuotingLinuxTextGivesLinuxText) {
    const std::string cases[][2] = {
        {"a\nb\n", "> a\n> b\n"},
        {"a\n\nb", "> a\n> \n> b\n"},
        {"a\r\nb", "> a\n> b\n"},
        {"\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4\n\xf0\x9f\x8e\x89",
         "> \xed\x95\x9c\xea\xb5\xad\xec\x96\xb4\n> \xf0\x9f\x8e\x89\n"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        EXPECT_EQ(CrLfToLf(QuoteLines(LfToCrLf(c[0]), "> ")), c[1]);
    }
}

}  // namespace
