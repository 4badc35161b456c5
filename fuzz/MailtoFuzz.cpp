#include "fuzz/MailtoFuzz.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/TextUtf.h"
#include "fuzz/FuzzSupport.h"
#include "mailclient/MailtoUrl.h"
#include "mailclient/RecipientEntries.h"

namespace {

using fuzzsupport::Show;

constexpr std::string_view kScheme = "mailto:";

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

bool IsUrlByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~@%,?&=").find(c) != std::string_view::npos;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && IsUpperHex(s[i + 1]) && IsUpperHex(s[i + 2])) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> Split(std::string_view s, char sep) {
    std::vector<std::string> parts;
    size_t from = 0;
    while (true) {
        const size_t to = s.find(sep, from);
        parts.emplace_back(s.substr(from, to == std::string_view::npos ? s.npos : to - from));
        if (to == std::string_view::npos) {
            return parts;
        }
        from = to + 1;
    }
}

bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

// Well-formed UTF-8 with every control character as a blank.
std::string Clean(std::string_view text) {
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        const char32_t cp = NextUtf8CodePoint(text, pos);
        AppendUtf8(out, IsControl(cp) ? U' ' : cp);
    }
    return out;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// Any control byte or control code point, or malformed UTF-8.
std::string BadText(std::string_view s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) {
            return "a control byte";
        }
    }
    for (size_t pos = 0; pos < s.size();) {
        const size_t at = pos;
        const char32_t cp = NextUtf8CodePoint(s, pos);
        std::string again;
        AppendUtf8(again, cp);
        if (IsControl(cp) || again != s.substr(at, pos - at)) {
            return "a control character or malformed UTF-8";
        }
    }
    return {};
}

// The items of an RFC 5322 address list as a mail client splits it: at commas
// outside quoted strings, comments and angle brackets. An unclosed one, or a
// group mark (":" or ";") outside them, gives no items at all.
std::vector<std::string> ReadAddressList(std::string_view s) {
    std::vector<std::string> items(1);
    bool quoted = false, angle = false;
    int comment = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if ((quoted || comment > 0) && c == '\\' && i + 1 < s.size()) {
            items.back() += s.substr(i, 2);
            ++i;
            continue;
        }
        if (quoted) {
            quoted = c != '"';
        } else if (comment > 0) {
            comment += c == '(' ? 1 : c == ')' ? -1 : 0;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            comment = 1;
        } else if (c == '<' && !angle) {
            angle = true;
        } else if (c == '>' && angle) {
            angle = false;
        } else if (c == ',' && !angle) {
            items.emplace_back();
            continue;
        } else if (c == '<' || c == '>' || c == ')' || c == '\\' || c == ';' || c == ',' ||
                   (c == ':' && !angle)) {
            return {};
        }
        items.back() += c;
    }
    if (quoted || angle || comment > 0) {
        return {};
    }
    return items;
}

// Whether a mailbox shows the entry: its address as it stands, or a quoted
// name (escapes undone) with the address in angle brackets, or the name and
// address together as one quoted text.
bool ShowsAs(const std::string& mailbox, const TRecipientEntry& entry) {
    if (entry.Name.empty() && mailbox == entry.Address) {
        return true;
    }
    if (mailbox.empty() || mailbox.front() != '"') {
        return false;
    }
    std::string shown;
    size_t i = 1;
    for (; i < mailbox.size() && mailbox[i] != '"'; ++i) {
        if (mailbox[i] == '\\') {
            ++i;
        }
        if (i < mailbox.size()) {
            shown += mailbox[i];
        }
    }
    const std::string rest = i < mailbox.size() ? mailbox.substr(i + 1) : "?";
    if (entry.Name.empty()) {
        return rest.empty() && shown == entry.Address;
    }
    if (entry.Address.empty()) {
        return rest.empty() && shown == entry.Name;
    }
    return (shown == entry.Name && rest == "<" + entry.Address + ">") ||
           (rest.empty() && shown == entry.Name + " <" + entry.Address + ">");
}

// The entries a field gives, checked against what was typed.
std::string CheckEntries(const char* name, std::string_view field,
                         const std::vector<std::string>& decoded) {
    const std::vector<std::string> entries = SplitRecipientEntries(field);
    if (decoded != entries) {
        return std::string(name) + ": the URL's entries differ from SplitRecipientEntries";
    }
    const std::string text = Clean(field);
    for (const std::string& e : entries) {
        if (e.empty() || Trimmed(e) != e) {
            return std::string(name) + ": entry " + Show(e) + " is empty or not trimmed";
        }
        const std::string bad = BadText(e);
        if (!bad.empty()) {
            return std::string(name) + ": entry " + Show(e) + " holds " + bad;
        }
    }
    // Name and address as they stand in the text.
    const std::vector<TRecipientEntry> parsed = ParseRecipientEntries(field);
    if (parsed.size() != entries.size()) {
        return std::string(name) + ": SplitRecipientEntries and ParseRecipientEntries differ";
    }
    for (const TRecipientEntry& p : parsed) {
        if (text.find(p.Name) == std::string::npos || text.find(p.Address) == std::string::npos) {
            return std::string(name) + ": entry " + Show(p.Name) + " " + Show(p.Address) +
                   " is not in the text " + Show(field);
        }
    }
    // A mail client reading the joined entries finds each one as it is, and
    // shows exactly the name and the address.
    std::string joined;
    for (const std::string& e : entries) {
        joined += (joined.empty() ? "" : ",") + e;
    }
    if (!entries.empty() && ReadAddressList(joined) != entries) {
        return std::string(name) + ": a mail client reads " + Show(joined) + " as other entries";
    }
    for (size_t i = 0; i < parsed.size(); ++i) {
        if (!ShowsAs(entries[i], parsed[i])) {
            return std::string(name) + ": mailbox " + Show(entries[i]) +
                   " does not show its name and address";
        }
    }
    // Without quotes and angle brackets an entry is an address: just a piece
    // between separators.
    if (text.find_first_of("\"<") == std::string::npos) {
        std::vector<std::string> plain;
        for (const std::string& piece : Split(text, ';')) {
            for (const std::string& part : Split(piece, ',')) {
                if (!Trimmed(part).empty()) {
                    plain.emplace_back(Trimmed(part));
                }
            }
        }
        std::vector<std::string> addresses;
        for (const TRecipientEntry& p : parsed) {
            addresses.push_back(p.Name.empty() ? p.Address : "\"" + p.Name);
        }
        if (plain != addresses) {
            return std::string(name) + ": entries of " + Show(field) +
                   " differ from the pieces between separators";
        }
    }
    return {};
}

}  // namespace

std::string FuzzMailto(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t lengths[2] = {0, 0};
    for (size_t& n : lengths) {
        if (!input.empty()) {
            n = static_cast<unsigned char>(input.front());
            input.remove_prefix(1);
        }
    }
    const std::string_view to = input.substr(0, lengths[0]);
    input.remove_prefix(to.size());
    const std::string_view cc = input.substr(0, lengths[1]);
    input.remove_prefix(cc.size());
    const std::string_view bcc = input;

    const std::string url = BuildMailtoUrl(to, cc, bcc);
    if (url.compare(0, kScheme.size(), kScheme) != 0) {
        return "URL " + Show(url) + " does not start with mailto:";
    }
    const std::string_view rest = std::string_view(url).substr(kScheme.size());
    for (size_t i = 0; i < rest.size(); ++i) {
        if (!IsUrlByte(rest[i])) {
            return "URL " + Show(url) + " holds a byte that should be encoded";
        }
        if (rest[i] == '%' &&
            (i + 2 >= rest.size() || !IsUpperHex(rest[i + 1]) || !IsUpperHex(rest[i + 2]))) {
            return "URL " + Show(url) + " holds a bad percent escape";
        }
    }
    const std::string decoded = PercentDecode(url);
    if (!BadText(decoded).empty()) {
        return "URL " + Show(url) + " decodes to " + BadText(decoded);
    }

    // Path, then at most one cc= and one bcc=, in that order.
    const size_t q = rest.find('?');
    const std::string_view path = rest.substr(0, q);
    if (path.find_first_of("&=") != std::string_view::npos) {
        return "URL " + Show(url) + " has a field mark in its path";
    }
    std::vector<std::string> fields[2];  // cc, bcc
    bool seen[2] = {false, false};
    if (q != std::string_view::npos) {
        int last = -1;
        for (const std::string& item : Split(rest.substr(q + 1), '&')) {
            const size_t eq = item.find('=');
            const std::string key = item.substr(0, eq);
            const int k = key == "cc" ? 0 : key == "bcc" ? 1 : -1;
            if (k < 0 || eq == std::string::npos || k <= last) {
                return "URL " + Show(url) + " has a field other than one cc= and one bcc=";
            }
            const std::string value = item.substr(eq + 1);
            if (value.empty() || value.find_first_of("?=") != std::string::npos) {
                return "URL " + Show(url) + " has an empty or malformed field";
            }
            last = k;
            seen[k] = true;
            for (const std::string& e : Split(value, ',')) {
                fields[k].push_back(PercentDecode(e));
            }
        }
    }
    std::vector<std::string> toEntries;
    if (!path.empty()) {
        for (const std::string& e : Split(path, ',')) {
            toEntries.push_back(PercentDecode(e));
        }
    }
    std::string fault = CheckEntries("To", to, toEntries);
    if (fault.empty()) {
        fault = CheckEntries("CC", cc, fields[0]);
    }
    if (fault.empty()) {
        fault = CheckEntries("BCC", bcc, fields[1]);
    }
    if (fault.empty() && (seen[0] && fields[0].empty())) {
        fault = "URL " + Show(url) + " has an empty cc=";
    }
    return fault;
}
