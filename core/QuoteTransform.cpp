#include "core/QuoteTransform.h"

#include "core/Utils.h"

std::string QuoteLines(std::string_view text, std::string_view quoteMark) {
    const TNameList lines = SplitLines(text);
    std::string out;
    out.reserve(text.size() + lines.size() * (quoteMark.size() + 2));
    for (const std::string& line : lines) {
        out += quoteMark;
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string LfToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

std::string CrLfToLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}
