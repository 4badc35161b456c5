#include "mailclient/MailtoUrl.h"

#include "mailclient/RecipientEntries.h"

std::vector<std::string> SplitRecipientEntries(std::string_view field) {
    std::vector<std::string> out;
    for (const TRecipientEntry& entry : ParseRecipientEntries(field)) {
        out.push_back(FormatMailbox(entry));
    }
    return out;
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
