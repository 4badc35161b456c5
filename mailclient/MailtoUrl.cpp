#include "mailclient/MailtoUrl.h"

#include "core/TextUtf.h"

namespace {

bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Well-formed UTF-8 with every control character turned into a blank.
std::string Clean(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const char32_t cp = NextUtf8CodePoint(text, pos);
        AppendUtf8(out, IsControl(cp) ? U' ' : cp);
    }
    return out;
}

std::string_view TrimmedBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

std::vector<std::string> SplitRecipientEntries(std::string_view field) {
    const std::string text = Clean(field);
    const size_t n = text.size();

    // closeAt[i]: the first double quote at or after i that may end a display name.
    std::vector<size_t> closeAt(n + 1, std::string::npos);
    bool closingContext = true;  // only blanks between here and "<", ";", "," or the end
    for (size_t i = n; i-- > 0;) {
        const char c = text[i];
        closeAt[i] = closeAt[i + 1];
        if (c == '"' && closingContext) {
            closeAt[i] = i;
        }
        if (c == '<' || c == ';' || c == ',') {
            closingContext = true;
        } else if (!IsBlank(c)) {
            closingContext = false;
        }
    }

    std::vector<std::string> entries;
    size_t start = 0;
    bool atEntryStart = true;
    // The entry's address in angle brackets, when it has one.
    size_t angleOpen = std::string::npos;
    size_t angleClose = std::string::npos;
    const auto emit = [&](std::string_view entry) {
        entry = TrimmedBlanks(entry);
        if (!entry.empty()) {
            entries.emplace_back(entry);
        }
    };
    const auto finish = [&](size_t end) {
        const std::string_view whole = std::string_view(text).substr(start, end - start);
        // A card with several addresses gives "name"<a;b>: one entry per
        // address, each with the card's name.
        const bool endsWithAddress =
            angleClose != std::string::npos &&
            TrimmedBlanks(std::string_view(text).substr(angleClose + 1, end - angleClose - 1))
                .empty();
        const std::string_view inner =
            endsWithAddress
                ? std::string_view(text).substr(angleOpen + 1, angleClose - angleOpen - 1)
                : std::string_view();
        if (inner.find_first_of(";,") == std::string_view::npos) {
            emit(whole);
        } else {
            const std::string_view name =
                TrimmedBlanks(std::string_view(text).substr(start, angleOpen - start));
            size_t from = 0;
            while (from <= inner.size()) {
                size_t to = inner.find_first_of(";,", from);
                if (to == std::string_view::npos) {
                    to = inner.size();
                }
                const std::string_view address = TrimmedBlanks(inner.substr(from, to - from));
                if (!address.empty()) {
                    emit(std::string(name) + "<" + std::string(address) + ">");
                }
                from = to + 1;
            }
        }
        angleOpen = angleClose = std::string::npos;
    };
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (atEntryStart && IsBlank(c)) {
            continue;
        }
        if (atEntryStart && c == '"') {
            atEntryStart = false;
            if (closeAt[i + 1] != std::string::npos) {
                i = closeAt[i + 1];
            }
            continue;
        }
        atEntryStart = false;
        if (c == '<' && angleOpen == std::string::npos) {
            // Separators inside a closed pair of angle brackets belong to the address.
            const size_t close = text.find('>', i + 1);
            if (close != std::string::npos) {
                angleOpen = i;
                angleClose = close;
                i = close;
            }
            continue;
        }
        if (c == ';' || c == ',') {
            finish(i);
            start = i + 1;
            atEntryStart = true;
        }
    }
    finish(n);
    return entries;
}

std::string PercentEncodeMailto(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_' || b == '~' || b == '@') {
            out += ch;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

namespace {
std::string JoinedEntries(std::string_view field) {
    std::string out;
    for (const std::string& entry : SplitRecipientEntries(field)) {
        if (!out.empty()) {
            out += ',';
        }
        out += PercentEncodeMailto(entry);
    }
    return out;
}
}  // namespace

std::string BuildMailtoUrl(std::string_view to, std::string_view cc, std::string_view bcc) {
    std::string url = "mailto:" + JoinedEntries(to);
    char separator = '?';
    for (const auto& [name, field] : {std::pair{"cc=", cc}, std::pair{"bcc=", bcc}}) {
        const std::string joined = JoinedEntries(field);
        if (!joined.empty()) {
            url += separator;
            url += name;
            url += joined;
            separator = '&';
        }
    }
    return url;
}
