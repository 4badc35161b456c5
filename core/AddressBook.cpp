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
    cardIndex_.try_emplace(card.Nickname, static_cast<int>(cards_.size()));
    cards_.push_back(std::move(card));
}

void TAddressBook::AddGroup(TGroup group) {
    groupIndex_.try_emplace(group.Name, static_cast<int>(groups_.size()));
    groups_.push_back(std::move(group));
}

void TAddressBook::ReadCards() {
    std::filesystem::path path = Cp932ToPath(folder_ + "card.dat");
    if (!FileExists(path)) {
        return;
    }
    TCard current;
    ReadTextLines(path, [&](const std::string& line) {
        if (line[0] == '.') {
            AddCard(std::move(current));
            current = TCard{};
            return;
        }
        TNameList parts = SplitAtFirst(line, ":");
        if (parts.empty()) {
            current.Address += ';';
            current.Address += TrimCommas(TrimBlanks(line));
            return;
        }
        const std::string& key = parts[0];
        std::string& value = parts[1];
        if (key == "Nickname") {
            current.Nickname = std::move(value);
        } else if (key == "Memo") {
            current.Memo = std::move(value);
        } else if (key == "tel") {
            current.tel = std::move(value);
        } else if (key == "org") {
            current.org = std::move(value);
        } else if (key == "org_unit") {
            current.org_unit = std::move(value);
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
    ReadTextLines(path, [&](const std::string& line) {
        if (line[0] == '.') {
            AddGroup(std::move(current));
            current = TGroup{};
            return;
        }
        TNameList parts = SplitAtFirst(line, ":");
        if (parts.empty()) {
            current.Members.push_back(TrimCommas(TrimBlanks(line)));
            return;
        }
        if (parts[0] == "Name") {
            current.Name = std::move(parts[1]);
        } else if (parts[0] == "Entry") {
            std::string& member = parts[1];
            if (!member.empty() && member.back() == ',') {
                member.pop_back();
            }
            current.Members.push_back(std::move(member));
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
    if (c < 0) {
        return {};
    }
    const TCard& card = cards_[static_cast<size_t>(c)];
    std::string s;
    s.reserve(card.Nickname.size() + card.Address.size() + 5);
    s += '"';
    s += card.Nickname;
    s += "\"<";
    s += card.Address;
    s += '>';
    return s;
}

std::string TAddressBook::RecipientItem(std::string_view name) const {
    return Prefs.MailAddressOnly == "YES" ? CardAddress(name) : CardRecipient(name);
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
    std::vector<char> groupSeen(groups_.size(), 0);
    std::vector<char> cardSeen(cards_.size(), 0);
    bool unknownSeen = false;

    auto addItem = [&](std::string_view member) {
        int c = FindCard(member);
        if (c >= 0) {
            if (cardSeen[static_cast<size_t>(c)]) {
                return;
            }
            cardSeen[static_cast<size_t>(c)] = 1;
        } else {
            if (unknownSeen) {
                return;
            }
            unknownSeen = true;
        }
        std::string item = RecipientItem(member);
        std::string key = RecipientSortKey(item);
        entries.push_back({std::move(key), std::move(item)});
    };

    int root = FindGroup(name);
    if (root < 0) {
        addItem(name);
    } else {
        struct Frame {
            const TNameList* members;
            size_t next;
        };
        std::vector<Frame> stack;
        groupSeen[static_cast<size_t>(root)] = 1;
        stack.push_back({&groups_[static_cast<size_t>(root)].Members, 0});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.members->size()) {
                stack.pop_back();
                continue;
            }
            const std::string& member = (*top.members)[top.next++];
            int g = FindGroup(member);
            if (g >= 0) {
                if (!groupSeen[static_cast<size_t>(g)]) {
                    groupSeen[static_cast<size_t>(g)] = 1;
                    stack.push_back({&groups_[static_cast<size_t>(g)].Members, 0});
                }
            } else {
                addItem(member);
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
