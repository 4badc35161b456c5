#include "mailclient/RecipientEntries.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "core/TextUtf.h"

inline void PrintTo(const TRecipientEntry& e, std::ostream* os) {
    *os << "{name \"" << e.Name << "\", address \"" << e.Address << "\"}";
}

namespace {

using Entries = std::vector<TRecipientEntry>;

struct SplitCase {
    const char* name;
    std::string field;
    Entries entries;
};

TEST(ParseRecipientEntries, SplitsLikeAMailClient) {
    const std::vector<SplitCase> cases = {
        {"empty", "", {}},
        {"separator alone", "; ", {}},
        {"one recipient", "\"a\"<p@example.jp>; ", {{"a", "p@example.jp"}}},
        {"two recipients",
         "\"a\"<p@example.jp>; \"b\"<q@example.jp>; ",
         {{"a", "p@example.jp"}, {"b", "q@example.jp"}}},
        {"bare addresses, both separators",
         "p@x, q@x;r@x",
         {{"", "p@x"}, {"", "q@x"}, {"", "r@x"}}},
        {"blanks trimmed, empty entries dropped",
         " \t p@x \t ; ;, ,q@x ",
         {{"", "p@x"}, {"", "q@x"}}},
        {"no-break and ideographic spaces are no blanks",
         " \u00A0p@x\u3000 ; q@x",
         {{"", "\u00A0p@x\u3000"}, {"", "q@x"}}},
        {"append to an empty field", "; \"a\"<p@x>; ", {{"a", "p@x"}}},
        {"blank before the angle bracket", "\"a, b\" <p@x>, q@x", {{"a, b", "p@x"}, {"", "q@x"}}},
        {"empty name", "\"\"<p@x>; <q@x>; ", {{"", "p@x"}, {"", "q@x"}}},
        {"unquoted name", "佐藤 <p@x>; a\"b<q@x>", {{"佐藤", "p@x"}, {"a\"b", "q@x"}}},
        {"Japanese name",
         "\"佐藤 大輝\"<daiki.sato@example.jp>; ",
         {{"佐藤 大輝", "daiki.sato@example.jp"}}},
        {"quoted name without address", "\"abc\"; q@x", {{"abc", ""}, {"", "q@x"}}},
        {"empty address", "\"x\"<>; \"\"<>; ", {{"x", ""}}},
        {"quote that is never closed", "\"open; q@x", {{"", "\"open"}, {"", "q@x"}}},
        {"quote inside an address", "\"n\"<a\"b@x>; \"c\"<q@x>; ", {{"n", "a\"b@x"}, {"c", "q@x"}}},
        {"malformed UTF-8", "\xFF@x", {{"", "\xEF\xBF\xBD@x"}}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(ParseRecipientEntries(c.field), c.entries) << c.name;
    }
}

// Nicknames are taken raw, so the name's end is found from the address after it.
TEST(ParseRecipientEntries, NicknamesWithQuotesAndSeparatorsStayWhole) {
    const std::vector<SplitCase> cases = {
        {"separators", "\"a;b,c\"<p@x>; ", {{"a;b,c", "p@x"}}},
        {"quote inside", "\"a\"b\"<p@x>; \"c\"<q@x>; ", {{"a\"b", "p@x"}, {"c", "q@x"}}},
        {"quote before a separator", "\"a\";b\"<p@x>; ", {{"a\";b", "p@x"}}},
        {"quote alone", "\"\"\"<p@x>; ", {{"\"", "p@x"}}},
        {"quote at the end", "\"say \"hi\"\"<p@x>; ", {{"say \"hi\"", "p@x"}}},
        {"backslashes", "\"a\\b\\\"<p@x>; ", {{"a\\b\\", "p@x"}}},
        {"angle bracket alone", "\"<\"<p@x>; ", {{"<", "p@x"}}},
        {"quote and angle bracket",
         "\"a\"<b\"<p@x>; \"c\"<q@x>; ",
         {{"a\"<b", "p@x"}, {"c", "q@x"}}},
        {"address in the name", "\"<e@x>\"<p@x>; ", {{"<e@x>", "p@x"}}},
        {"closing bracket and separator",
         "\"x>; \"y\"<p@x>; \"z\"<q@x>; ",
         {{"x>; \"y", "p@x"}, {"z", "q@x"}}},
        {"at sign and comma", "\"a@b, c\"<p@x>; ", {{"a@b, c", "p@x"}}},
        // '"<' followed later by '>' and a separator is exactly how two cards
        // are written one after the other, so it reads as two.
        {"what two cards would write", "\"a\"<b>; \"c\"<p@x>; ", {{"a", "b"}, {"c", "p@x"}}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(ParseRecipientEntries(c.field), c.entries) << c.name;
    }
}

TEST(ParseRecipientEntries, SeveralAddressesOfOneCardShareItsName) {
    const std::vector<SplitCase> cases = {
        {"two cards", "\"x\"<a@x;b@x>; \"y\"<c@x>; ", {{"x", "a@x"}, {"x", "b@x"}, {"y", "c@x"}}},
        {"name with separators", "\"a;b\"<p@x,q@x>; ", {{"a;b", "p@x"}, {"a;b", "q@x"}}},
        {"address list starting with a separator",
         "\"x\"<;a@x,, b@x ;>",
         {{"x", "a@x"}, {"x", "b@x"}}},
        {"unquoted name", "n <a@x;b@x>", {{"n", "a@x"}, {"n", "b@x"}}},
        {"brackets that never close", "\"x\"<a@x;b@x", {{"", "\"x\"<a@x"}, {"", "b@x"}}},
        {"text after the address keeps the entry whole",
         "n<a@x;b@x> z; q@x",
         {{"", "n<a@x;b@x> z"}, {"", "q@x"}}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(ParseRecipientEntries(c.field), c.entries) << c.name;
    }
}

TEST(ParseRecipientEntries, ControlCharactersBecomeBlanks) {
    const std::vector<SplitCase> cases = {
        {"line feed inside a line", "a\nb@x; c@x", {{"", "a b@x"}, {"", "c@x"}}},
        {"header line smuggled in a name",
         "\"x\r\nBcc: evil@example.com\"<p@x>; ",
         {{"x  Bcc: evil@example.com", "p@x"}}},
        {"control characters at the ends", "\x01p@x\x7f;\x1f", {{"", "p@x"}}},
        {"C1 control and line separator",
         "a\xC2\x85"
         "b\xE2\x80\xA8"
         "c",
         {{"", "a b c"}}},
        {"NUL in a name", std::string("\"a\0b\"<p@x>", 10), {{"a b", "p@x"}}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(ParseRecipientEntries(c.field), c.entries) << c.name;
    }
}

// Backslashes and quotes in nicknames are the nickname's own.
TEST(ParseRecipientEntries, BackslashesAndQuotesAreRawText) {
    const std::vector<SplitCase> cases = {
        {"backslash and quote before a separator",
         "\"a\\\"; b\" <h@x>; q@x",
         {{"a\\\"; b", "h@x"}, {"", "q@x"}}},
        {"two backslashes", "\"g\\\\h\"<b@x>", {{"g\\\\h", "b@x"}}},
        {"backslash before a plain character", "\"g\\h\"<b@x>", {{"g\\h", "b@x"}}},
        {"a name ending in a backslash", "\"g\\\"<b@x>; q@x", {{"g\\", "b@x"}, {"", "q@x"}}},
        {"quotes inside a name", "\"say \"hi\"\"<h@x>", {{"say \"hi\"", "h@x"}}},
        {"quote and angle bracket", "\"q\"<r\"<qlt@x>; ", {{"q\"<r", "qlt@x"}}},
        {"name without address", "\"a\\\"b\"; q@x", {{"a\\\"b", ""}, {"", "q@x"}}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(ParseRecipientEntries(c.field), c.entries) << c.name;
    }
}

TEST(FormatMailbox, QuotesTheNameAndEscapesQuotesAndBackslashes) {
    struct Case {
        TRecipientEntry entry;
        std::string mailbox;
    };
    const std::vector<Case> cases = {
        {{"", "p@x"}, "p@x"},
        {{"a", "p@x"}, "\"a\"<p@x>"},
        {{"佐藤 大輝", "daiki.sato@example.jp"}, "\"佐藤 大輝\"<daiki.sato@example.jp>"},
        {{"say \"hi\"", "p@x"}, "\"say \\\"hi\\\"\"<p@x>"},
        {{"a\\b", "p@x"}, "\"a\\\\b\"<p@x>"},
        {{"\\\"", "p@x"}, "\"\\\\\\\"\"<p@x>"},
        {{"a, b; <c@d> (e)", "p@x"}, "\"a, b; <c@d> (e)\"<p@x>"},
        {{"x", ""}, "\"x\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMailbox(c.entry), c.mailbox) << c.entry.Name;
    }
}

// Text that would open a quoted string, comment or bracket, or split the list,
// goes as one quoted text, so it cannot swallow the entries after it.
TEST(FormatMailbox, AddressesAMailClientCannotReadGoAsText) {
    struct Case {
        TRecipientEntry entry;
        std::string mailbox;
    };
    const std::vector<Case> cases = {
        {{"", "\"john doe\"@example.jp"}, "\"john doe\"@example.jp"},
        {{"n", "\"john doe\"@example.jp"}, "\"n\"<\"john doe\"@example.jp>"},
        {{"n", "a(note)@x"}, "\"n\"<a(note)@x>"},
        {{"n", "x?cc=e@x&a=b: c"}, "\"n\"<x?cc=e@x&a=b: c>"},
        {{"", "\"open"}, "\"\\\"open\""},
        {{"", "\"x\"<a@x"}, "\"\\\"x\\\"<a@x\""},
        {{"", "n<a@x;b@x> z"}, "\"n<a@x;b@x> z\""},
        {{"", "a(b@x"}, "\"a(b@x\""},
        {{"", "a: b@x"}, "\"a: b@x\""},
        {{"n", "a\"b@x"}, "\"n <a\\\"b@x>\""},
        {{"n", "a(b@x"}, "\"n <a(b@x>\""},
        {{"n", "a)b@x"}, "\"n <a)b@x>\""},
        {{"n", "a\\b@x"}, "\"n <a\\\\b@x>\""},
        {{"n", "<e@x>"}, "\"n <<e@x>>\""},
        {{"n", "a>b"}, "\"n <a>b>\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMailbox(c.entry), c.mailbox) << c.entry.Name << " / " << c.entry.Address;
    }
}

// An RFC 5322 address-list reader, as a mail client parses the joined entries:
// quoted strings with quoted pairs, angle addresses, "," between mailboxes.
std::vector<std::pair<std::string, std::string>> ReadAddressList(const std::string& s) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string name, address, bare;
    bool inAngle = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (inAngle) {
            if (c == '>') {
                inAngle = false;
            } else {
                address += c;
            }
        } else if (c == '"') {
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] == '\\' && i + 1 < s.size()) {
                    ++i;
                }
                name += s[i];
            }
        } else if (c == '<') {
            inAngle = true;
        } else if (c == ',') {
            out.emplace_back(name, address.empty() ? bare : address);
            name.clear();
            address.clear();
            bare.clear();
        } else {
            bare += c;
        }
    }
    out.emplace_back(name, address.empty() ? bare : address);
    return out;
}

TEST(FormatMailbox, AMailClientReadsBackEveryNickname) {
    const std::vector<std::string> nicknames = {
        "say \"hi\"", "\\", "a\\\"b", "\"", "a, b", "a; b", "<e@x>", "a@b", "(c)", "佐藤 \"和子\"",
    };
    std::string joined;
    std::vector<std::pair<std::string, std::string>> expected;
    for (const std::string& nick : nicknames) {
        joined += (joined.empty() ? "" : ",") + FormatMailbox({nick, "p@example.jp"});
        expected.emplace_back(nick, "p@example.jp");
    }
    EXPECT_EQ(ReadAddressList(joined), expected) << joined;
}

}  // namespace

// Every code point decoded and written again, controls as blanks: what the
// cleaning must give for any bytes, broken UTF-8 included.
TEST(CleanRecipientText, MatchesDecodingEveryCharacter) {
    const auto reference = [](std::string_view text) {
        std::string out;
        for (size_t pos = 0; pos < text.size();) {
            const char32_t cp = NextUtf8CodePoint(text, pos);
            const bool control =
                cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
            AppendUtf8(out, control ? U' ' : cp);
        }
        return out;
    };
    std::vector<std::string> inputs = {
        "",
        "a@example.jp",
        "山田\t太郎\r\n<taro@example.jp>",
        "\xC2\x85nel",
        "a\xE2\x80\xA8"
        "b",
        "\xC0\xAF overlong",
        "\xED\xA0\x80 surrogate",
        "\xF4\x90\x80\x80 too high",
        "cut \xE3\x81",
        "🍣\x7F",
        "\xFF\xFE",
    };
    std::mt19937 random(5322);
    const char pieces[][5] = {
        "a",        " ",        "\t",           "\x01",         "\x7F",
        "\xC2\x80", "\xC2\xA0", "\xE3\x81\x82", "\xE2\x80\xA9", "\xF0\x9F\x8D\xA3",
        "\x80",     "\xE3",     "\xED\xB0\x80", "\xC1\xBF"};
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        for (int j = 0; j < 12; ++j) {
            text += pieces[pick(random)];
        }
        inputs.push_back(text);
    }
    for (const std::string& text : inputs) {
        EXPECT_EQ(CleanRecipientText(text), reference(text)) << text;
    }
}
