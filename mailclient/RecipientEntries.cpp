#include "mailclient/RecipientEntries.h"

#include <algorithm>

#include "core/TextUtf.h"
#include "core/Utils.h"

namespace {

constexpr size_t kNone = std::string::npos;

bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

// The blanks the trims remove, so that the scanners agree with them.
bool IsBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

bool IsSeparator(char c) {
    return c == ';' || c == ',';
}

}  // namespace

std::string CleanRecipientText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // Runs of characters that stay as they are go over whole.
    size_t plain = 0;
    std::string canonical;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead >= 0x20 && lead < 0x7F) {
            ++pos;
            continue;
        }
        const char32_t cp = NextUtf8CodePoint(text, pos);
        if (!IsControl(cp)) {
            canonical.clear();
            AppendUtf8(canonical, cp);
            if (text.substr(start, pos - start) == canonical) {
                continue;  // well-formed
            }
        }
        out.append(text.data() + plain, start - plain);
        AppendUtf8(out, IsControl(cp) ? U' ' : cp);
        plain = pos;
    }
    out.append(text.data() + plain, text.size() - plain);
    return out;
}

namespace {

class TSplitter {
  public:
    explicit TSplitter(std::string_view field)
        : text_(CleanRecipientText(field)), n_(text_.size()) {
        Index();
    }

    std::vector<TRecipientEntry> Run() {
        size_t i = 0;
        while (i < n_) {
            i = SkipBlanks(i);
            if (i == n_) {
                break;
            }
            if (IsSeparator(text_[i])) {
                ++i;
                continue;
            }
            i = text_[i] == '"' ? QuotedEntry(i) : BareEntry(i, i);
        }
        return std::move(entries_);
    }

  private:
    size_t SkipBlanks(size_t i) const {
        while (i < n_ && IsBlank(text_[i])) {
            ++i;
        }
        return i;
    }

    // Past the separator (or at the end) after position i, when only blanks lie between.
    size_t PastSeparator(size_t i) const {
        i = SkipBlanks(i);
        return i < n_ ? i + 1 : i;
    }

    // Finds, in one pass from the end, every mark a quoted name may need, so
    // that each entry is split in logarithmic time and memory stays in
    // proportion to the marks.
    void Index() {
        char follow = '\0';  // the first non-blank after the current position; '\0': the end
        for (size_t i = n_; i-- > 0;) {
            const char c = text_[i];
            const bool endsHere = follow == '\0' || IsSeparator(follow);
            if (c == '"' && follow == '<') {
                nameEnds_.push_back(i);
            }
            if (c == '"' && endsHere) {
                quoteCloses_.push_back(i);
            }
            if (c == '>') {
                closingBrackets_.push_back(i);
                if (endsHere) {
                    addressEnds_.push_back(i);
                }
            }
            if (!IsBlank(c)) {
                follow = c;
            }
        }
        for (auto* marks : {&nameEnds_, &quoteCloses_, &addressEnds_, &closingBrackets_}) {
            std::reverse(marks->begin(), marks->end());
        }
    }

    // The first mark at or after i.
    static size_t Next(const std::vector<size_t>& marks, size_t i) {
        const auto it = std::lower_bound(marks.begin(), marks.end(), i);
        return it == marks.end() ? kNone : *it;
    }

    // The last mark before i.
    static size_t Previous(const std::vector<size_t>& marks, size_t i) {
        const auto it = std::lower_bound(marks.begin(), marks.end(), i);
        return it == marks.begin() ? kNone : *(it - 1);
    }

    // An entry that starts with a double quote at s; gives where the next begins.
    size_t QuotedEntry(size_t s) {
        const size_t first = Next(nameEnds_, s + 1);
        const size_t end = first == kNone ? kNone : Next(addressEnds_, first + 1);
        if (end != kNone) {
            const size_t next = PastSeparator(end + 1);
            // The last name end before the address's end: an address rarely
            // holds '"<', a nickname may.
            const size_t close = Previous(nameEnds_, end);
            const size_t open = SkipBlanks(close + 1);
            AddPairs(std::string_view(text_).substr(s + 1, close - s - 1),
                     std::string_view(text_).substr(open + 1, end - open - 1));
            return next;
        }
        const size_t closeQuote = Next(quoteCloses_, s + 1);
        if (closeQuote != kNone && (first == kNone || closeQuote < first)) {
            const size_t next = PastSeparator(closeQuote + 1);
            AddPairs(std::string_view(text_).substr(s + 1, closeQuote - s - 1), {});
            return next;
        }
        // No address closes the entry: the quoted part is text, its separators included.
        return BareEntry(s, first == kNone ? s + 1 : first + 1);
    }

    // An entry from s whose separators are looked for from `from` on.
    size_t BareEntry(size_t s, size_t from) {
        size_t angleOpen = kNone;
        size_t angleClose = kNone;
        size_t i = from;
        for (; i < n_; ++i) {
            const char c = text_[i];
            if (c == '<' && angleOpen == kNone) {
                const size_t close = Next(closingBrackets_, i + 1);
                if (close != kNone) {
                    angleOpen = i;
                    angleClose = close;
                    i = close;
                }
                continue;
            }
            if (IsSeparator(c)) {
                break;
            }
        }
        const std::string_view view(text_);
        if (angleClose != kNone &&
            TrimmedView(view.substr(angleClose + 1, i - angleClose - 1)).empty()) {
            AddPairs(TrimmedView(view.substr(s, angleOpen - s)),
                     view.substr(angleOpen + 1, angleClose - angleOpen - 1));
        } else {
            Add({}, TrimmedView(view.substr(s, i - s)));
        }
        return i < n_ ? i + 1 : i;
    }

    // One entry per address of a name; the name alone when there is none.
    void AddPairs(std::string_view name, std::string_view addresses) {
        bool any = false;
        size_t from = 0;
        while (from < addresses.size()) {
            size_t to = addresses.find_first_of(";,", from);
            if (to == kNone) {
                to = addresses.size();
            }
            const std::string_view address = TrimmedView(addresses.substr(from, to - from));
            if (!address.empty()) {
                Add(name, address);
                any = true;
            }
            from = to + 1;
        }
        if (!any) {
            Add(name, {});
        }
    }

    void Add(std::string_view name, std::string_view address) {
        if (!name.empty() || !address.empty()) {
            entries_.push_back({std::string(name), std::string(address)});
        }
    }

    const std::string text_;
    const size_t n_;
    // Ascending positions of each kind of mark:
    std::vector<size_t> nameEnds_;     // a '"' followed, after blanks, by '<'
    std::vector<size_t> addressEnds_;  // a '>' followed, after blanks, by a separator or the end
    std::vector<size_t> quoteCloses_;  // a '"' followed, after blanks, by a separator or the end
    std::vector<size_t> closingBrackets_;  // every '>'
    std::vector<TRecipientEntry> entries_;
};

}  // namespace

std::vector<TRecipientEntry> ParseRecipientEntries(std::string_view field) {
    return TSplitter(field).Run();
}

namespace {

// Whether a mail client reading text as one item of an address list finds
// exactly one item: every quoted string, comment and angle address closed,
// and no list or group mark outside them.
bool ReadsAsOneItem(std::string_view s) {
    bool quoted = false;
    bool angle = false;
    int comment = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted || comment > 0) {
            if (c == '\\') {
                if (++i == s.size()) {
                    return false;
                }
            } else if (quoted) {
                quoted = c != '"';
            } else if (c == '(') {
                ++comment;
            } else if (c == ')') {
                --comment;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            comment = 1;
        } else if (c == '<') {
            if (angle) {
                return false;
            }
            angle = true;
        } else if (c == '>') {
            if (!angle) {
                return false;
            }
            angle = false;
        } else if (c == ')' || c == '\\' || c == ',' || c == ';' || (c == ':' && !angle)) {
            return false;
        }
    }
    return !quoted && !angle && comment == 0;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

}  // namespace

std::string FormatMailbox(const TRecipientEntry& entry) {
    std::string out;
    if (entry.Name.empty()) {
        if (ReadsAsOneItem(entry.Address)) {
            return entry.Address;
        }
        AppendQuoted(out, entry.Address);
        return out;
    }
    if (entry.Address.empty()) {
        AppendQuoted(out, entry.Name);
        return out;
    }
    const std::string angleAddress = "<" + entry.Address + ">";
    if (!ReadsAsOneItem(angleAddress)) {
        // An address no mail client could read would swallow the entries
        // after it: the name and the address go as text, shown as they are.
        AppendQuoted(out, entry.Name + " " + angleAddress);
        return out;
    }
    AppendQuoted(out, entry.Name);
    return out + angleAddress;
}
