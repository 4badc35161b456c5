#include "mailclient/thunderbird/TbRecipients.h"

#include "mailclient/RecipientEntries.h"

std::vector<std::string> ThunderbirdEntries(std::string_view field) {
    std::vector<std::string> out;
    for (const TRecipientEntry& entry : ParseRecipientEntries(field)) {
        out.push_back(FormatMailbox(entry));
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
