#include "mailclient/thunderbird/TbRecipients.h"

#include "core/TextUtf.h"
#include "mailclient/RecipientEntries.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsSeparator(char c) {
    return c == ';' || c == ',';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Whether only blanks stand between pos and "<", ";", "," or the end.
bool ClosesHere(const std::string& text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos == text.size() || text[pos] == '<' || IsSeparator(text[pos]);
}

struct TQuoted {
    size_t close = std::string::npos;  // the closing double quote
    bool escaped = false;              // read as an RFC 5322 quoted string
};

class TSplitter {
  public:
    explicit TSplitter(std::string_view field) : text_(CleanRecipientText(field)) {
        // closeAt_[i]: the first double quote at or after i that may end a name.
        const size_t n = text_.size();
        closeAt_.assign(n + 1, std::string::npos);
        for (size_t i = n; i-- > 0;) {
            closeAt_[i] = closeAt_[i + 1];
            if (text_[i] == '"' && ClosesHere(text_, i + 1)) {
                closeAt_[i] = i;
            }
        }
    }

    std::vector<TMailbox> Run() {
        const size_t n = text_.size();
        size_t start = 0;
        bool atStart = true;
        for (size_t i = 0; i < n; ++i) {
            const char c = text_[i];
            if (atStart && IsBlank(c)) {
                continue;
            }
            if (atStart && c == '"') {
                atStart = false;
                const TQuoted q = QuotedFrom(i);
                if (q.close != std::string::npos) {
                    quoteOpen_ = i;
                    quote_ = q;
                    i = q.close;
                }
                continue;
            }
            atStart = false;
            if (c == '<' && angleOpen_ == std::string::npos) {
                const size_t close = text_.find('>', i + 1);
                if (close != std::string::npos) {
                    angleOpen_ = i;
                    angleClose_ = close;
                    i = close;
                }
                continue;
            }
            if (IsSeparator(c)) {
                Finish(start, i);
                start = i + 1;
                atStart = true;
            }
        }
        Finish(start, n);
        return std::move(out_);
    }

  private:
    // The end of a quoted name opened at open: as a quoted string first,
    // else by the plain rule.
    TQuoted QuotedFrom(size_t open) const {
        for (size_t j = open + 1; j < text_.size(); ++j) {
            if (text_[j] == '\\' && j + 1 < text_.size() &&
                (text_[j + 1] == '"' || text_[j + 1] == '\\')) {
                ++j;
            } else if (text_[j] == '"') {
                if (ClosesHere(text_, j + 1)) {
                    return {j, true};
                }
                break;
            }
        }
        return {closeAt_[open + 1], false};
    }

    std::string NameOf(size_t start) const {
        if (quoteOpen_ == std::string::npos || quoteOpen_ < start ||
            !Trimmed(
                 std::string_view(text_).substr(quote_.close + 1, angleOpen_ - quote_.close - 1))
                 .empty()) {
            return std::string(Trimmed(std::string_view(text_).substr(start, angleOpen_ - start)));
        }
        const std::string_view inner =
            std::string_view(text_).substr(quoteOpen_ + 1, quote_.close - quoteOpen_ - 1);
        if (!quote_.escaped) {
            return std::string(inner);
        }
        std::string name;
        for (size_t k = 0; k < inner.size(); ++k) {
            if (inner[k] == '\\' && k + 1 < inner.size() &&
                (inner[k + 1] == '"' || inner[k + 1] == '\\')) {
                ++k;
            }
            name += inner[k];
        }
        return name;
    }

    void Finish(size_t start, size_t end) {
        const std::string_view all(text_);
        const bool endsWithAddress =
            angleClose_ != std::string::npos && angleOpen_ >= start &&
            Trimmed(all.substr(angleClose_ + 1, end - angleClose_ - 1)).empty();
        if (!endsWithAddress) {
            const std::string_view whole = Trimmed(all.substr(start, end - start));
            if (!whole.empty()) {
                out_.push_back({std::string(), std::string(whole)});
            }
        } else {
            const std::string name = NameOf(start);
            const std::string_view inner = all.substr(angleOpen_ + 1, angleClose_ - angleOpen_ - 1);
            size_t from = 0;
            while (from <= inner.size()) {
                size_t to = inner.find_first_of(";,", from);
                if (to == std::string_view::npos) {
                    to = inner.size();
                }
                const std::string_view address = Trimmed(inner.substr(from, to - from));
                if (!address.empty()) {
                    out_.push_back({name, std::string(address)});
                }
                from = to + 1;
            }
        }
        angleOpen_ = angleClose_ = quoteOpen_ = std::string::npos;
    }

    std::string text_;
    std::vector<size_t> closeAt_;
    size_t angleOpen_ = std::string::npos;
    size_t angleClose_ = std::string::npos;
    size_t quoteOpen_ = std::string::npos;
    TQuoted quote_;
    std::vector<TMailbox> out_;
};

bool NeedsQuotes(std::string_view name) {
    return name.find_first_of("()<>[]:;@\\,.\"") != std::string_view::npos || name.front() == ' ' ||
           name.back() == ' ';
}

}  // namespace

std::vector<TMailbox> SplitMailboxes(std::string_view field) {
    return TSplitter(field).Run();
}

std::string FormatMailbox(const TMailbox& mailbox) {
    if (mailbox.name.empty()) {
        return mailbox.address;
    }
    std::string out;
    out.reserve(mailbox.name.size() + mailbox.address.size() + 8);
    if (NeedsQuotes(mailbox.name)) {
        out += '"';
        for (const char c : mailbox.name) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        out += '"';
    } else {
        out += mailbox.name;
    }
    out += " <";
    out += mailbox.address;
    out += '>';
    return out;
}

std::vector<std::string> ThunderbirdEntries(std::string_view field) {
    std::vector<std::string> out;
    for (const TMailbox& m : SplitMailboxes(field)) {
        out.push_back(FormatMailbox(m));
    }
    return out;
}

std::string JoinEntries(const std::vector<std::string>& entries) {
    std::string out;
    for (const std::string& e : entries) {
        if (!out.empty()) {
            out += "; ";
        }
        out += e;
    }
    return out;
}
