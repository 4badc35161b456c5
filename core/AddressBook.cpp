#include "AddressBook.h"

#include <algorithm>

#include "Collation.h"
#include "Encoding.h"
#include "Prefs.h"

void TAddressBook::SetFolder(std::string_view path) {
    folder_ = path;
    if (!folder_.empty() && folder_.back() != kPathDelim) {
        folder_ += kPathDelim;
    }
}

void TAddressBook::Load() {
    ReadCards();
    ReadGroups();
}

void TAddressBook::AddCard(TCard card) {
    resolved_ = false;
    cardIndex_.try_emplace(card.Nickname, static_cast<int>(cards_.size()));
    cards_.push_back(std::move(card));
}

void TAddressBook::AddGroup(TGroup group) {
    resolved_ = false;
    groupIndex_.try_emplace(group.Name, static_cast<int>(groups_.size()));
    groups_.push_back(std::move(group));
}

namespace {

std::string_view TrimmedView(std::string_view s) {
    size_t end = s.size();
    while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\t')) {
        --end;
    }
    size_t begin = 0;
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t')) {
        ++begin;
    }
    return s.substr(begin, end - begin);
}

// SplitAtFirst at ":" without allocating: false when the line has no colon.
bool SplitField(std::string_view line, std::string_view& key, std::string_view& value) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    key = TrimmedView(line.substr(0, colon));
    value = TrimmedView(line.substr(colon + 1));
    return true;
}

}  // namespace

void TAddressBook::ReadCards() {
    std::filesystem::path path = Cp932ToPath(folder_ + "card.dat");
    if (!FileExists(path)) {
        return;
    }
    TCard current;
    ForEachTextLine(path, [&](std::string_view line) {
        if (line[0] == '.') {
            AddCard(std::move(current));
            current = TCard{};
            return;
        }
        std::string_view key, value;
        if (!SplitField(line, key, value)) {
            current.Address += ';';
            current.Address += TrimCommas(TrimBlanks(line));
            return;
        }
        if (key == "Nickname") {
            current.Nickname = value;
        } else if (key == "Memo") {
            current.Memo = value;
        } else if (key == "tel") {
            current.tel = value;
        } else if (key == "org") {
            current.org = value;
        } else if (key == "org_unit") {
            current.org_unit = value;
        } else if (key == "Address") {
            current.Address = TrimCommas(value);
        }
    });
}

void TAddressBook::ReadGroups() {
    std::filesystem::path path = Cp932ToPath(folder_ + "group.dat");
    if (!FileExists(path)) {
        return;
    }
    TGroup current;
    ForEachTextLine(path, [&](std::string_view line) {
        if (line[0] == '.') {
            AddGroup(std::move(current));
            current = TGroup{};
            return;
        }
        std::string_view key, value;
        if (!SplitField(line, key, value)) {
            current.Members.push_back(TrimCommas(TrimBlanks(line)));
            return;
        }
        if (key == "Name") {
            current.Name = value;
        } else if (key == "Entry") {
            if (!value.empty() && value.back() == ',') {
                value.remove_suffix(1);
            }
            current.Members.emplace_back(value);
        }
    });
}

int TAddressBook::FindGroup(std::string_view name) const {
    auto it = groupIndex_.find(name);
    return it == groupIndex_.end() ? -1 : it->second;
}

int TAddressBook::FindCard(std::string_view name) const {
    auto it = cardIndex_.find(name);
    return it == cardIndex_.end() ? -1 : it->second;
}

const TNameList& TAddressBook::GroupMembers(std::string_view name) const {
    static const TNameList kEmpty;
    int g = FindGroup(name);
    return g < 0 ? kEmpty : groups_[static_cast<size_t>(g)].Members;
}

std::string TAddressBook::CardAddress(std::string_view name) const {
    int c = FindCard(name);
    return c < 0 ? std::string() : cards_[static_cast<size_t>(c)].Address;
}

std::string TAddressBook::CardMemo(std::string_view name) const {
    int c = FindCard(name);
    return c < 0 ? std::string() : cards_[static_cast<size_t>(c)].Memo;
}

std::string TAddressBook::CardRecipient(std::string_view name) const {
    int c = FindCard(name);
    return c < 0 ? std::string() : CardItem(c, false);
}

std::string TAddressBook::CardItem(int card, bool addressOnly) const {
    const TCard& c = cards_[static_cast<size_t>(card)];
    if (addressOnly) {
        return c.Address;
    }
    std::string s;
    s.reserve(c.Nickname.size() + c.Address.size() + 5);
    s += '"';
    s += c.Nickname;
    s += "\"<";
    s += c.Address;
    s += '>';
    return s;
}

void TAddressBook::ResolveMembers() const {
    if (resolved_) {
        return;
    }
    memberStart_.assign(1, 0);
    memberGroup_.clear();
    memberCard_.clear();
    for (const TGroup& group : groups_) {
        for (const std::string& member : group.Members) {
            memberGroup_.push_back(FindGroup(member));
            memberCard_.push_back(FindCard(member));
        }
        memberStart_.push_back(memberGroup_.size());
    }
    resolved_ = true;
}

TRecipientList TAddressBook::ExpandRecipients(std::string_view name) const {
    // Items in the order the recursive expansion would add them (depth first,
    // member order). A group already met adds nothing more, which ends cycles
    // and changes nothing else: it could only add duplicates. Likewise a card
    // already added, and a second unknown name, would only add duplicates.
    struct Entry {
        std::string key;
        std::string item;
    };
    std::vector<Entry> entries;
    std::vector<char> cardSeen(cards_.size(), 0);
    bool unknownSeen = false;
    const bool addressOnly = Prefs.MailAddressOnly == "YES";

    auto addItem = [&](int card) {
        std::string item;
        if (card >= 0) {
            if (cardSeen[static_cast<size_t>(card)]) {
                return;
            }
            cardSeen[static_cast<size_t>(card)] = 1;
            item = CardItem(card, addressOnly);
        } else {
            if (unknownSeen) {
                return;
            }
            unknownSeen = true;
        }
        std::string key = RecipientSortKey(item);
        entries.push_back({std::move(key), std::move(item)});
    };

    int root = FindGroup(name);
    if (root < 0) {
        addItem(FindCard(name));
    } else {
        ResolveMembers();
        std::vector<char> groupSeen(groups_.size(), 0);
        struct Frame {
            size_t next;
            size_t end;
        };
        std::vector<Frame> stack;
        groupSeen[static_cast<size_t>(root)] = 1;
        stack.push_back(
            {memberStart_[static_cast<size_t>(root)], memberStart_[static_cast<size_t>(root) + 1]});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.end) {
                stack.pop_back();
                continue;
            }
            size_t m = top.next++;
            int g = memberGroup_[m];
            if (g < 0) {
                addItem(memberCard_[m]);
            } else if (!groupSeen[static_cast<size_t>(g)]) {
                groupSeen[static_cast<size_t>(g)] = 1;
                stack.push_back({memberStart_[static_cast<size_t>(g)],
                                 memberStart_[static_cast<size_t>(g) + 1]});
            }
        }
    }

    // Of equal items the first added stays.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
    auto last = std::unique(entries.begin(), entries.end(),
                            [](const Entry& a, const Entry& b) { return a.key == b.key; });
    TRecipientList list;
    list.reserve(static_cast<size_t>(last - entries.begin()));
    for (auto it = entries.begin(); it != last; ++it) {
        list.push_back(std::move(it->item));
    }
    return list;
}

std::string TAddressBook::JoinedRecipients(std::string_view name) const {
    TRecipientList list = ExpandRecipients(name);
    size_t size = 0;
    for (const std::string& item : list) {
        size += item.size() + 2;
    }
    std::string text;
    text.reserve(size);
    for (const std::string& item : list) {
        text += item;
        text += "; ";
    }
    return text;
}

TCard TAddressBook::CardRecord(std::string_view name) const {
    int c = FindCard(name);
    if (c >= 0) {
        return cards_[static_cast<size_t>(c)];
    }
    TCard record;
    if (IsGroup(name)) {
        record.Nickname = name;
    }
    return record;
}
