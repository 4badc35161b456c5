#include "mailclient/MailtoUrl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/TextUtf.h"

namespace {

using Entries = std::vector<std::string>;

TEST(PercentEncodeMailto, KeepsOnlyUnreservedCharactersAndAt) {
    EXPECT_EQ(PercentEncodeMailto("AZaz09-._~@"), "AZaz09-._~@");
    EXPECT_EQ(PercentEncodeMailto(" \"<>?&=#%,;+/:!$'()*[]\\"),
              "%20%22%3C%3E%3F%26%3D%23%25%2C%3B%2B%2F%3A%21%24%27%28%29%2A%5B%5D%5C");
    EXPECT_EQ(PercentEncodeMailto("佐藤"), "%E4%BD%90%E8%97%A4");
}

TEST(BuildMailtoUrl, PutsToInThePathAndCcBccInFields) {
    struct Case {
        std::string to, cc, bcc, url;
    };
    const std::vector<Case> cases = {
        {"", "", "", "mailto:"},
        {"; ", "; ", "; ", "mailto:"},
        {"\"佐藤 和子\"<kazuko.sato@example.jp>; ", "", "",
         "mailto:%22%E4%BD%90%E8%97%A4%20%E5%92%8C%E5%AD%90%22%3Ckazuko.sato@example.jp%3E"},
        {"a@x; b@x; ", "", "", "mailto:a@x,b@x"},
        {"", "a@x; b@x; ", "", "mailto:?cc=a@x,b@x"},
        {"t@x", "", "b@x", "mailto:t@x?bcc=b@x"},
        {"t@x; ", "c@x; ", "b@x; ", "mailto:t@x?cc=c@x&bcc=b@x"},
        {"", "", "b@x", "mailto:?bcc=b@x"},
        // Quotes and backslashes escaped, separators kept inside the quoted name.
        {"\"say \"hi\"\"<p@example.jp>; \"a\\b\"<q@example.jp>; ", "", "",
         "mailto:%22say%20%5C%22hi%5C%22%22%3Cp@example.jp%3E,%22a%5C%5Cb%22%3Cq@example.jp%3E"},
        {"", "\"a,b;c\"<r@example.jp>; \"<x@example.com>\"<s@example.jp>; ", "",
         "mailto:?cc=%22a%2Cb%3Bc%22%3Cr@example.jp%3E,%22%3Cx@example.com%3E%22%3Cs@example.jp%"
         "3E"},
        {"", "", "\"森 健太郎\"<a@example.jp;b@example.jp>; ",
         "mailto:?bcc=%22%E6%A3%AE%20%E5%81%A5%E5%A4%AA%E9%83%8E%22%3Ca@example.jp%3E,"
         "%22%E6%A3%AE%20%E5%81%A5%E5%A4%AA%E9%83%8E%22%3Cb@example.jp%3E"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildMailtoUrl(c.to, c.cc, c.bcc), c.url) << c.to << "|" << c.cc << "|" << c.bcc;
    }
}

// --- The URL as the security boundary -------------------------------------

struct ParsedUrl {
    Entries to;
    std::vector<std::pair<std::string, Entries>> fields;
};

std::string PercentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

Entries SplitOn(const std::string& s, char sep) {
    Entries parts;
    if (s.empty()) {
        return parts;
    }
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

Entries DecodedEntries(const std::string& joined) {
    Entries entries;
    for (const std::string& e : SplitOn(joined, ',')) {
        entries.push_back(PercentDecode(e));
    }
    return entries;
}

// Parses a URL the way a receiving mail client does, after checking that its
// structure holds nothing but what the builder puts there.
ParsedUrl ParseMailto(const std::string& url) {
    ParsedUrl parsed;
    EXPECT_EQ(url.rfind("mailto:", 0), 0u) << url;
    for (const char ch : url) {
        const auto b = static_cast<unsigned char>(ch);
        const bool allowed = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                             (b >= '0' && b <= '9') ||
                             std::string("-._~@%,:?&=").find(ch) != std::string::npos;
        EXPECT_TRUE(allowed) << "character " << int(b) << " in " << url;
    }
    const std::string rest = url.substr(7);
    const size_t q = rest.find('?');
    parsed.to = DecodedEntries(rest.substr(0, q));
    if (q != std::string::npos) {
        for (const std::string& field : SplitOn(rest.substr(q + 1), '&')) {
            const size_t eq = field.find('=');
            EXPECT_NE(eq, std::string::npos) << url;
            parsed.fields.emplace_back(field.substr(0, eq), DecodedEntries(field.substr(eq + 1)));
        }
    }
    return parsed;
}

bool HasControl(const std::string& s) {
    for (size_t pos = 0; pos < s.size();) {
        const char32_t cp = NextUtf8CodePoint(s, pos);
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029) {
            return true;
        }
    }
    return false;
}

// Nicknames and addresses from address books written to break out of their
// entry, and the entry a mail client gets for each: as the nickname of a card
// whose address is p@example.jp, and as the address of a card named n (an
// address a mail client could not read goes as quoted text).
struct Crafted {
    std::string text, asNickname, asAddress;
};
const std::vector<Crafted> kCrafted = {
    {"x?cc=evil@example.com", "\"x?cc=evil@example.com\"<p@example.jp>",
     "\"n\"<x?cc=evil@example.com>"},
    {"x&bcc=evil@example.com", "\"x&bcc=evil@example.com\"<p@example.jp>",
     "\"n\"<x&bcc=evil@example.com>"},
    {"x?subject=hi&body=evil", "\"x?subject=hi&body=evil\"<p@example.jp>",
     "\"n\"<x?subject=hi&body=evil>"},
    {"a=b", "\"a=b\"<p@example.jp>", "\"n\"<a=b>"},
    {"frag#ment", "\"frag#ment\"<p@example.jp>", "\"n\"<frag#ment>"},
    {"100%25 sure %0A%0D", "\"100%25 sure %0A%0D\"<p@example.jp>", "\"n\"<100%25 sure %0A%0D>"},
    {"<evil@example.com>", "\"<evil@example.com>\"<p@example.jp>", "\"n <<evil@example.com>>\""},
    {">", "\">\"<p@example.jp>", "\"n <>>\""},
    {"say \"hi\"", "\"say \\\"hi\\\"\"<p@example.jp>", "\"n\"<say \"hi\">"},
    {"\"", "\"\\\"\"<p@example.jp>", "\"n <\\\">\""},
    // In an address, '"<' reads as the end of a name (nicknames hold it, addresses don't).
    {"a\"<b", "\"a\\\"<b\"<p@example.jp>", "\"n\\\"<a\"<b>"},
    {"line\nBcc: evil@example.com", "\"line Bcc: evil@example.com\"<p@example.jp>",
     "\"n\"<line Bcc: evil@example.com>"},
    {"cr\r\nCc: evil@example.com", "\"cr  Cc: evil@example.com\"<p@example.jp>",
     "\"n\"<cr  Cc: evil@example.com>"},
    {std::string("nul\0byte", 8), "\"nul byte\"<p@example.jp>", "\"n\"<nul byte>"},
    {"tab\there", "\"tab here\"<p@example.jp>", "\"n\"<tab here>"},
    {"ls\xE2\x80\xA8ps\xE2\x80\xA9nel\xC2\x85", "\"ls ps nel \"<p@example.jp>", "\"n\"<ls ps nel>"},
    {"\xFF\xFE bad bytes", "\"\xEF\xBF\xBD\xEF\xBF\xBD bad bytes\"<p@example.jp>",
     "\"n\"<\xEF\xBF\xBD\xEF\xBF\xBD bad bytes>"},
    {"?&=#%<>\"", "\"?&=#%<>\\\"\"<p@example.jp>", "\"n <?&=#%<>\\\">\""},
    {"a\\\"b", "\"a\\\\\\\"b\"<p@example.jp>", "\"n <a\\\\\\\"b>\""},
};

TEST(BuildMailtoUrl, NothingInAnAddressBookAddsOrChangesAField) {
    for (const Crafted& crafted : kCrafted) {
        for (int where = 0; where < 2; ++where) {
            const std::string nick = where == 0 ? crafted.text : "n";
            const std::string addr = where == 0 ? "p@example.jp" : crafted.text;
            const std::string entry = "\"" + nick + "\"<" + addr + ">";
            const std::string other = "\"other\"<o@example.jp>";
            const std::string field = entry + "; " + other + "; ";

            for (int target = 0; target < 3; ++target) {
                const std::string url = BuildMailtoUrl(
                    target == 0 ? field : "", target == 1 ? field : "", target == 2 ? field : "");
                SCOPED_TRACE(url);
                const ParsedUrl parsed = ParseMailto(url);
                const Entries& got = target == 0 ? parsed.to : parsed.fields.at(0).second;
                if (target == 0) {
                    EXPECT_TRUE(parsed.fields.empty());
                } else {
                    ASSERT_EQ(parsed.fields.size(), 1u);
                    EXPECT_EQ(parsed.fields[0].first, target == 1 ? "cc" : "bcc");
                    EXPECT_TRUE(parsed.to.empty());
                }
                // The crafted text stays in its own entry, the next one is untouched.
                EXPECT_EQ(got,
                          (Entries{where == 0 ? crafted.asNickname : crafted.asAddress, other}));
                for (const std::string& e : got) {
                    EXPECT_FALSE(HasControl(e));
                }
            }
        }
    }
}

TEST(TextUtf, ConvertsBothWaysAndReplacesMalformedInput) {
    const std::u16string text = u"佐藤 \U0001F600 a";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00)) + u"b"),
              "\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\xFFFD\xFFFD");  // overlong lead, then a stray byte
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\xFFFD");    // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xE4\xBD"), u"\xFFFD");        // cut short
    EXPECT_EQ(Utf8ToUtf16("\xE4\xBD"
                          "A"),
              u"\xFFFD"
              u"A");  // cut short, then ASCII
}

}  // namespace
