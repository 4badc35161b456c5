// The address book of one mail folder: card.dat and group.dat, read once.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Utils.h"

struct TCard {
    std::string Nickname;
    std::string Memo;
    std::string tel;
    std::string org;
    std::string org_unit;
    std::string Address;  // several addresses are joined by ";"

    bool operator==(const TCard&) const = default;
};

struct TGroup {
    std::string Name;
    TNameList Members;
};

// Sorted under the recipient comparison, no two items equal.
using TRecipientList = std::vector<std::string>;

class TAddressBook {
  public:
    // Path text in cp932; a separator is added unless empty or already there.
    void SetFolder(std::string_view path);
    const std::string& Folder() const { return folder_; }

    // ReadCards, then ReadGroups. Throws EInOutError; what was read stays.
    void Load();
    void ReadCards();
    void ReadGroups();

    const std::vector<TCard>& Cards() const { return cards_; }
    const std::vector<TGroup>& Groups() const { return groups_; }

    // First match in file order, or -1. Names compare byte for byte.
    int FindGroup(std::string_view name) const;
    int FindCard(std::string_view name) const;
    bool IsGroup(std::string_view name) const { return FindGroup(name) >= 0; }

    // The group's own member list; an empty list for a name that is no group.
    const TNameList& GroupMembers(std::string_view name) const;

    std::string CardAddress(std::string_view name) const;
    std::string CardMemo(std::string_view name) const;
    // "\"Nickname\"<Address>" for a card, else empty.
    std::string CardRecipient(std::string_view name) const;

    // Groups expanded (each at most once per expansion, so cycles end),
    // sorted case-insensitively, duplicates dropped (the first added stays).
    TRecipientList ExpandRecipients(std::string_view name) const;
    // Each item of ExpandRecipients followed by "; ".
    std::string JoinedRecipients(std::string_view name) const;

    // The card; for a group a record with only Nickname; else all empty.
    TCard CardRecord(std::string_view name) const;

  private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using NameIndex = std::unordered_map<std::string, int, NameHash, std::equal_to<>>;

    void AddCard(TCard card);
    void AddGroup(TGroup group);
    // A card's recipient item: the bare address, or the quoted-name form.
    std::string CardItem(int card, bool addressOnly) const;

    // Each member's group and card index, worked out once after a read so
    // that expanding touches no hash table. Filled on first use; a const
    // book is therefore not safe to share between threads.
    void ResolveMembers() const;
    mutable bool resolved_ = false;
    mutable std::vector<size_t> memberStart_;  // per group, into the two below
    mutable std::vector<int> memberGroup_;
    mutable std::vector<int> memberCard_;

    std::string folder_;
    std::vector<TCard> cards_;
    std::vector<TGroup> groups_;
    NameIndex cardIndex_;
    NameIndex groupIndex_;
};
