#include "core/AddressBook.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "core/Collation.h"
#include "core/Encoding.h"
#include "core/Files.h"

void TAddressBook::SetFolder(std::string_view path) {
    folder_ = path;
    if (!folder_.empty() && !EndsWithPathDelim(folder_)) {
        folder_ += kPathDelim;
    }
}

void TAddressBook::Load() {
    ReadCards();
    ReadGroups();
}

namespace {

size_t HashName(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

// Room for the records a file of this size may hold, so that the table is not
// moved again and again while it grows. Untouched capacity costs no memory.
size_t ExpectedRecords(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<size_t>(std::min<std::uintmax_t>(size / 64, 1u << 20));
}

// Runs a step when the scope ends, by return or by exception.
template <class F>
class TAtExit {
  public:
    explicit TAtExit(F f) : f_(std::move(f)) {}
    ~TAtExit() { f_(); }
    TAtExit(const TAtExit&) = delete;
    TAtExit& operator=(const TAtExit&) = delete;

  private:
    F f_;
};

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

template <class Names>
void TAddressBook::TNameIndex::Build(size_t count, Names names) {
    // Sized for the distinct names, not the records: a file of millions of
    // records under one name (empty cards, say) needs one slot, not millions.
    size_t size = 16;
    while (size < std::min<size_t>(count, size_t{1} << 20) * 2) {
        size *= 2;
    }
    slots_.assign(size, 0);
    size_t distinct = 0;
    auto place = [&](std::vector<int>& slots, int entry, std::string_view name) {
        const size_t mask = slots.size() - 1;
        size_t slot = HashName(name) & mask;
        while (slots[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        slots[slot] = entry;
    };
    for (size_t i = 0; i < count; ++i) {
        std::string_view name = names(i);
        const size_t mask = slots_.size() - 1;
        size_t slot = HashName(name) & mask;
        bool known = false;
        while (slots_[slot] != 0) {
            if (names(static_cast<size_t>(slots_[slot] - 1)) == name) {
                known = true;  // an earlier record has this name
                break;
            }
            slot = (slot + 1) & mask;
        }
        if (known) {
            continue;
        }
        slots_[slot] = static_cast<int>(i) + 1;
        if (++distinct * 2 > slots_.size()) {
            std::vector<int> grown(slots_.size() * 2, 0);
            for (int entry : slots_) {
                if (entry != 0) {
                    place(grown, entry, names(static_cast<size_t>(entry - 1)));
                }
            }
            slots_.swap(grown);
        }
    }
}

template <class Names>
int TAddressBook::TNameIndex::Find(std::string_view name, Names names) const {
    if (slots_.empty()) {
        return -1;
    }
    const size_t mask = slots_.size() - 1;
    for (size_t slot = HashName(name) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
        size_t record = static_cast<size_t>(slots_[slot] - 1);
        if (names(record) == name) {
            return static_cast<int>(record);
        }
    }
    return -1;
}

void TAddressBook::IndexCards() {
    resolved_ = false;
    cardIndex_.Build(cards_.size(),
                     [this](size_t i) -> std::string_view { return Field(i, kNickname); });
}

void TAddressBook::IndexGroups() {
    resolved_ = false;
    groupIndex_.Build(groups_.size(),
                      [this](size_t i) -> std::string_view { return groups_[i].Name; });
}

void TAddressBook::ReadCards() {
    std::filesystem::path path = Cp932ToPath(folder_ + "card.dat");
    if (!FileExists(path)) {
        return;
    }
    // Cards read before an error stay, and are found by name.
    TAtExit index([this] { IndexCards(); });
    TCard current;
    ForEachTextLine(path, [&](std::string_view line) {
        if (line[0] == '.') {
            AppendCard(current);
            // Emptied, not replaced: the next record reuses the capacity.
            for (std::string* field : {&current.Nickname, &current.Memo, &current.tel, &current.org,
                                       &current.org_unit, &current.Address}) {
                field->clear();
            }
            return;
        }
        std::string_view key, value;
        if (!SplitField(line, key, value)) {
            current.Address += ';';
            current.Address += TrimmedView(TrimmedView(line), ",");
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
            current.Address = TrimmedView(value, ",");
        }
    });
}

void TAddressBook::ReadGroups() {
    std::filesystem::path path = Cp932ToPath(folder_ + "group.dat");
    if (!FileExists(path)) {
        return;
    }
    TAtExit index([this] { IndexGroups(); });
    groups_.reserve(groups_.size() + ExpectedRecords(path));
    TGroup current;
    ForEachTextLine(path, [&](std::string_view line) {
        if (line[0] == '.') {
            groups_.push_back(std::move(current));
            current = TGroup{};
            return;
        }
        std::string_view key, value;
        if (!SplitField(line, key, value)) {
            current.Members.emplace_back(TrimmedView(TrimmedView(line), ","));
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
    return groupIndex_.Find(name, [this](size_t i) -> std::string_view { return groups_[i].Name; });
}

int TAddressBook::FindCard(std::string_view name) const {
    return cardIndex_.Find(name,
                           [this](size_t i) -> std::string_view { return Field(i, kNickname); });
}

const TNameList& TAddressBook::GroupMembers(std::string_view name) const {
    static const TNameList kEmpty;
    int g = FindGroup(name);
    return g < 0 ? kEmpty : groups_[static_cast<size_t>(g)].Members;
}

std::string TAddressBook::CardAddress(std::string_view name) const {
    int c = FindCard(name);
    return c < 0 ? std::string() : std::string(Field(static_cast<size_t>(c), kAddress));
}

std::string TAddressBook::CardMemo(std::string_view name) const {
    int c = FindCard(name);
    return c < 0 ? std::string() : std::string(Field(static_cast<size_t>(c), kMemo));
}

std::string TAddressBook::CardRecipient(std::string_view name) const {
    int c = FindCard(name);
    return c < 0 ? std::string() : CardItem(c, false);
}

std::string TAddressBook::CardItem(int card, bool addressOnly) const {
    const std::string_view address = Field(static_cast<size_t>(card), kAddress);
    if (addressOnly) {
        return std::string(address);
    }
    const std::string_view nickname = Field(static_cast<size_t>(card), kNickname);
    std::string s;
    s.reserve(nickname.size() + address.size() + 5);
    s += '"';
    s += nickname;
    s += "\"<";
    s += address;
    s += '>';
    return s;
}

void TAddressBook::AppendCard(const TCard& card) {
    const std::string* fields[kFieldCount] = {&card.Nickname, &card.Memo,     &card.tel,
                                              &card.org,      &card.org_unit, &card.Address};
    size_t total = 0;
    for (const std::string* f : fields) {
        if (f->size() > UINT32_MAX) {
            throw std::length_error("address-book field too long");
        }
        total += f->size();
    }
    constexpr size_t kBlockSize = size_t{1} << 20;
    if (total > blockFree_) {
        // A card larger than a block gets a block of its own.
        const size_t size = std::max(total, kBlockSize);
        textBlocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        blockPos_ = textBlocks_.back().get();
        blockFree_ = size;
    }
    TCardRec rec{};
    rec.text = blockPos_;
    for (int f = 0; f < kFieldCount; ++f) {
        if (!fields[f]->empty()) {
            std::memcpy(blockPos_, fields[f]->data(), fields[f]->size());
        }
        blockPos_ += fields[f]->size();
        rec.length[f] = static_cast<uint32_t>(fields[f]->size());
    }
    blockFree_ -= total;
    cards_.push_back(rec);
}

std::string_view TAddressBook::Field(size_t card, TCardField field) const {
    const TCardRec& rec = cards_[card];
    const char* p = rec.text;
    for (int f = 0; f < field; ++f) {
        p += rec.length[f];
    }
    return std::string_view(p, rec.length[field]);
}

TCard TAddressBook::Card(size_t index) const {
    return TCard{std::string(Field(index, kNickname)), std::string(Field(index, kMemo)),
                 std::string(Field(index, kTel)),      std::string(Field(index, kOrg)),
                 std::string(Field(index, kOrgUnit)),  std::string(Field(index, kAddress))};
}

std::vector<TCard> TAddressBook::Cards() const {
    std::vector<TCard> all;
    all.reserve(cards_.size());
    for (size_t i = 0; i < cards_.size(); ++i) {
        all.push_back(Card(i));
    }
    return all;
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

std::vector<int> TAddressBook::ExpandedCards(std::string_view name, bool addressOnly) const {
    // Items in the order the recursive expansion would add them (depth first,
    // member order). A group already met adds nothing more, which ends cycles
    // and changes nothing else: it could only add duplicates. Likewise a card
    // already added, and a second unknown name, would only add duplicates.
    // Each item is a card number, -1 for the empty item of an unknown name;
    // its sort key goes into one shared buffer.
    struct Entry {
        size_t keyStart;
        size_t keyLength;
        int card;
    };
    std::vector<Entry> entries;
    std::string keys;
    std::vector<char> cardSeen(cards_.size(), 0);
    bool unknownSeen = false;

    auto addItem = [&](int card) {
        if (card >= 0) {
            if (cardSeen[static_cast<size_t>(card)]) {
                return;
            }
            cardSeen[static_cast<size_t>(card)] = 1;
        } else {
            if (unknownSeen) {
                return;
            }
            unknownSeen = true;
        }
        const size_t start = keys.size();
        AppendRecipientSortKey(card >= 0 ? CardItem(card, addressOnly) : std::string(), keys);
        entries.push_back({start, keys.size() - start, card});
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

    auto key = [&keys](const Entry& e) {
        return std::string_view(keys).substr(e.keyStart, e.keyLength);
    };
    // Of equal items the first added stays.
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const Entry& a, const Entry& b) { return key(a) < key(b); });
    auto last = std::unique(entries.begin(), entries.end(),
                            [&](const Entry& a, const Entry& b) { return key(a) == key(b); });
    std::vector<int> cards;
    cards.reserve(static_cast<size_t>(last - entries.begin()));
    for (auto it = entries.begin(); it != last; ++it) {
        cards.push_back(it->card);
    }
    return cards;
}

TRecipientList TAddressBook::ExpandRecipients(std::string_view name, TRecipientForm form) const {
    const bool addressOnly = form == TRecipientForm::AddressOnly;
    TRecipientList list;
    for (int card : ExpandedCards(name, addressOnly)) {
        list.push_back(card >= 0 ? CardItem(card, addressOnly) : std::string());
    }
    return list;
}

std::string TAddressBook::JoinedRecipients(std::string_view name, TRecipientForm form,
                                           size_t* count) const {
    const bool addressOnly = form == TRecipientForm::AddressOnly;
    std::string text;
    const auto cards = ExpandedCards(name, addressOnly);
    for (int card : cards) {
        if (card >= 0) {
            text += CardItem(card, addressOnly);
        }
        text += "; ";
    }
    if (count != nullptr) {
        *count = cards.size();
    }
    return text;
}

TCard TAddressBook::CardRecord(std::string_view name) const {
    int c = FindCard(name);
    if (c >= 0) {
        return Card(static_cast<size_t>(c));
    }
    TCard record;
    if (IsGroup(name)) {
        record.Nickname = name;
    }
    return record;
}
