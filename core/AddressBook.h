// The address book of one mail folder: card.dat and group.dat, read once.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Utils.h"

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

// How a card becomes a recipient item: "\"Nickname\"<Address>", or the bare address.
enum class TRecipientForm { QuotedName, AddressOnly };

class TAddressBook {
  public:
    // Path text in cp932; a separator is added unless empty or already there.
    void SetFolder(std::string_view path);
    const std::string& Folder() const { return folder_; }

    // ReadCards, then ReadGroups. Throws EInOutError; what was read stays.
    void Load();
    void ReadCards();
    void ReadGroups();

    size_t CardCount() const { return cards_.size(); }
    // A copy of the card at this place in file order.
    TCard Card(size_t index) const;
    // Copies of every card, in file order.
    std::vector<TCard> Cards() const;
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
    TRecipientList ExpandRecipients(std::string_view name, TRecipientForm form) const;
    // Each item of ExpandRecipients followed by "; "; *count, when given,
    // gets the number of items.
    std::string JoinedRecipients(std::string_view name, TRecipientForm form,
                                 size_t* count = nullptr) const;

    // The card; for a group a record with only Nickname; else all empty.
    TCard CardRecord(std::string_view name) const;

  private:
    // Name to the first record of that name: open addressing over record
    // numbers, so a book of 100,000 cards needs no node or key copy per name.
    class TNameIndex {
      public:
        // Indexes names(0) .. names(count - 1); the first of equal names wins.
        template <class Names>
        void Build(size_t count, Names names);
        template <class Names>
        int Find(std::string_view name, Names names) const;

      private:
        std::vector<int> slots_;  // record number + 1; 0 for an empty slot
    };

    void IndexCards();
    void IndexGroups();
    // The expansion as card numbers in item order; -1 for the empty item.
    std::vector<int> ExpandedCards(std::string_view name, bool addressOnly) const;
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
    // Cards are stored compactly: the six fields of a card lie one after the
    // other in a shared text block, so a card costs its text and 32 bytes.
    enum TCardField { kNickname, kMemo, kTel, kOrg, kOrgUnit, kAddress, kFieldCount };
    struct TCardRec {
        const char* text;
        uint32_t length[kFieldCount];
    };
    void AppendCard(const TCard& card);
    std::string_view Field(size_t card, TCardField field) const;

    // A deque: growing never copies the table, which for millions of small
    // records would need twice their memory for a moment.
    std::deque<TCardRec> cards_;
    std::vector<std::unique_ptr<char[]>> textBlocks_;
    char* blockPos_ = nullptr;  // where the next card's text goes
    size_t blockFree_ = 0;      // bytes left after it in the last block
    std::vector<TGroup> groups_;
    TNameIndex cardIndex_;
    TNameIndex groupIndex_;
};
