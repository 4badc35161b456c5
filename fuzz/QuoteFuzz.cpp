#include "fuzz/QuoteFuzz.h"

#include <string_view>
#include <vector>

#include "core/QuoteTransform.h"
#include "core/Utils.h"

namespace {

// Pieces between CR LF pairs; a last piece only when it is not empty.
std::vector<std::string> PlainLines(std::string_view t) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
            lines.push_back(cur);
            cur.clear();
            ++i;
        } else {
            cur += t[i];
        }
    }
    if (!cur.empty()) {
        lines.push_back(cur);
    }
    return lines;
}

std::string PlainLfToCrLf(std::string_view t) {
    std::string out;
    char prev = 0;
    for (char c : t) {
        if (c == '\n' && prev != '\r') {
            out += '\r';
        }
        out += c;
        prev = c;
    }
    return out;
}

std::string PlainCrLfToLf(std::string_view t) {
    std::string out;
    for (char c : t) {
        if (c == '\n' && !out.empty() && out.back() == '\r') {
            out.back() = '\n';
        } else {
            out += c;
        }
    }
    return out;
}

bool HasCr(std::string_view t) {
    return t.find('\r') != std::string_view::npos;
}

// Every CR starts a CR LF and every LF ends one.
bool OnlyCrLfBreaks(std::string_view t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' && (i + 1 == t.size() || t[i + 1] != '\n')) {
            return false;
        }
        if (t[i] == '\n' && (i == 0 || t[i - 1] != '\r')) {
            return false;
        }
    }
    return true;
}

size_t Count(std::string_view t, std::string_view what) {
    size_t n = 0;
    for (size_t pos = t.find(what); pos != std::string_view::npos;
         pos = t.find(what, pos + what.size())) {
        ++n;
    }
    return n;
}

}  // namespace

std::string FuzzQuote(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t markLen = input.empty() ? 0 : std::min<size_t>(data[0] % 8, size - 1);
    const std::string_view mark = input.substr(input.empty() ? 0 : 1, markLen);
    const std::string_view text = input.substr(input.empty() ? 0 : 1 + markLen);

    // The quote transform.
    const std::vector<std::string> lines = PlainLines(text);
    if (SplitLines(text) != lines) {
        return "SplitLines differs from a plain split at CR LF";
    }
    std::string expected;
    for (const std::string& line : lines) {
        expected += std::string(mark) + line + "\r\n";
    }
    const std::string quoted = QuoteLines(text, mark);
    if (quoted != expected) {
        return "QuoteLines differs from mark + line + CR LF for each line";
    }
    if (text.empty() != quoted.empty()) {
        return "QuoteLines gives an empty result for a non-empty text, or the reverse";
    }
    if (mark.empty() && text.size() >= 2 && text.substr(text.size() - 2) == "\r\n" &&
        quoted != text) {
        return "QuoteLines without a mark changes a text that ends with CR LF";
    }

    // The line-break mapping against plain readings.
    const std::string crlf = LfToCrLf(text);
    const std::string lf = CrLfToLf(text);
    if (crlf != PlainLfToCrLf(text)) {
        return "LfToCrLf differs from a plain reading";
    }
    if (lf != PlainCrLfToLf(text)) {
        return "CrLfToLf differs from a plain reading";
    }
    if (crlf.size() != text.size() + Count(text, "\n") - Count(text, "\r\n") ||
        lf.size() != text.size() - Count(text, "\r\n")) {
        return "a line-break mapping changes more than its line breaks";
    }

    // Round trips, where they hold.
    if (LfToCrLf(crlf) != crlf) {
        return "LfToCrLf is not idempotent";
    }
    for (size_t i = 0; i < crlf.size(); ++i) {
        if (crlf[i] == '\n' && (i == 0 || crlf[i - 1] != '\r')) {
            return "LfToCrLf leaves a lone LF";
        }
    }
    if (CrLfToLf(crlf) != lf) {
        return "CrLfToLf(LfToCrLf(t)) differs from CrLfToLf(t)";
    }
    if (!HasCr(text) && CrLfToLf(crlf) != text) {
        return "a text without CR does not come back through LfToCrLf and CrLfToLf";
    }
    if (OnlyCrLfBreaks(text) && LfToCrLf(lf) != text) {
        return "a CR LF text does not come back through CrLfToLf and LfToCrLf";
    }

    // The clipboard path: LF text in, quoted, LF text out.
    std::string viaClipboard;
    for (const std::string& line : PlainLines(crlf)) {
        viaClipboard += PlainCrLfToLf(std::string(mark) + line) + "\n";
    }
    if (CrLfToLf(QuoteLines(crlf, mark)) != viaClipboard) {
        return "the clipboard path differs from quoting each line";
    }
    return {};
}
