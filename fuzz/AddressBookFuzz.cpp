#include "fuzz/AddressBookFuzz.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/AddressBook.h"
#include "core/Collation.h"
#include "core/GroupTree.h"
#include "fuzz/FuzzSupport.h"

namespace fs = std::filesystem;

namespace {

using fuzzsupport::Show;
using fuzzsupport::TScratch;
using fuzzsupport::WriteFile;

// Enough to cover every small input, small enough to keep runs fast when
// shared sub-groups make the tree grow exponentially.
constexpr size_t kTreeBound = 5000;
// Names expanded per input (each both ways).
constexpr size_t kMaxExpanded = 200;

// ---- A plain re-reading of the two files, straight from the file rules. ----

std::vector<std::string> Lines(std::string_view b) {
    std::vector<std::string> lines;
    size_t i = 0;
    while (true) {
        while (i < b.size() && static_cast<unsigned char>(b[i]) <= 32 && b[i] != 26) {
            ++i;
        }
        if (i == b.size() || b[i] == 26) {
            return lines;
        }
        const size_t start = i;
        while (i < b.size() && b[i] != '\r' && b[i] != 26) {
            ++i;
        }
        lines.emplace_back(b.substr(start, i - start));
        if (i < b.size() && b[i] == '\r') {
            ++i;
            if (i < b.size() && b[i] == '\n') {
                ++i;
            }
        }
    }
}

std::string Trim(std::string_view s, char a, char b) {
    while (!s.empty() && (s.back() == a || s.back() == b)) {
        s.remove_suffix(1);
    }
    while (!s.empty() && (s.front() == a || s.front() == b)) {
        s.remove_prefix(1);
    }
    return std::string(s);
}

std::string Blanks(std::string_view s) {
    return Trim(s, ' ', '\t');
}
std::string Commas(std::string_view s) {
    return Trim(s, ',', ',');
}

// True with key and value when the line holds a colon.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    key = Blanks(std::string_view(line).substr(0, colon));
    value = Blanks(std::string_view(line).substr(colon + 1));
    return true;
}

std::vector<TCard> ModelCards(std::string_view bytes) {
    std::vector<TCard> cards;
    TCard cur;
    for (const std::string& line : Lines(bytes)) {
        std::string key;
        std::string value;
        if (line[0] == '.') {
            cards.push_back(cur);
            cur = TCard{};
        } else if (!KeyValue(line, key, value)) {
            cur.Address += ";" + Commas(Blanks(line));
        } else if (key == "Nickname") {
            cur.Nickname = value;
        } else if (key == "Memo") {
            cur.Memo = value;
        } else if (key == "tel") {
            cur.tel = value;
        } else if (key == "org") {
            cur.org = value;
        } else if (key == "org_unit") {
            cur.org_unit = value;
        } else if (key == "Address") {
            cur.Address = Commas(value);
        }
    }
    return cards;
}

std::vector<TGroup> ModelGroups(std::string_view bytes) {
    std::vector<TGroup> groups;
    TGroup cur;
    for (const std::string& line : Lines(bytes)) {
        std::string key;
        std::string value;
        if (line[0] == '.') {
            groups.push_back(cur);
            cur = TGroup{};
        } else if (!KeyValue(line, key, value)) {
            cur.Members.push_back(Commas(Blanks(line)));
        } else if (key == "Name") {
            cur.Name = value;
        } else if (key == "Entry") {
            if (!value.empty() && value.back() == ',') {
                value.pop_back();
            }
            cur.Members.push_back(value);
        }
    }
    return groups;
}

// ---- The model's answers to the queries. ----

struct TModel {
    std::vector<TCard> cards;
    std::vector<TGroup> groups;
    std::map<std::string, int> groupIndex;  // first of each name
    std::map<std::string, int> cardIndex;

    TModel(std::vector<TCard> c, std::vector<TGroup> g)
        : cards(std::move(c)), groups(std::move(g)) {
        for (size_t i = 0; i < groups.size(); ++i) {
            groupIndex.emplace(groups[i].Name, static_cast<int>(i));
        }
        for (size_t i = 0; i < cards.size(); ++i) {
            cardIndex.emplace(cards[i].Nickname, static_cast<int>(i));
        }
    }
    int Group(const std::string& name) const {
        auto it = groupIndex.find(name);
        return it == groupIndex.end() ? -1 : it->second;
    }
    int Card(const std::string& name) const {
        auto it = cardIndex.find(name);
        return it == cardIndex.end() ? -1 : it->second;
    }
    std::string Item(const std::string& name, bool addressOnly) const {
        const int c = Card(name);
        if (c < 0) {
            return {};
        }
        const TCard& card = cards[static_cast<size_t>(c)];
        return addressOnly ? card.Address : "\"" + card.Nickname + "\"<" + card.Address + ">";
    }
    // Binary insertion under the recipient comparison; the first of equal items stays.
    static void Add(std::vector<std::string>& list, const std::string& item) {
        size_t lo = 0;
        size_t hi = list.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            const int r = CompareRecipients(list[mid], item);
            if (r == 0) {
                return;
            }
            if (r < 0) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        list.insert(list.begin() + static_cast<long>(lo), item);
    }
    // Recursive expansion; a group already met in this expansion adds nothing.
    void Expand(const std::string& name, bool addressOnly, std::vector<char>& met,
                std::vector<std::string>& list) const {
        const int g = Group(name);
        if (g < 0) {
            Add(list, Item(name, addressOnly));
            return;
        }
        met[static_cast<size_t>(g)] = 1;
        for (const std::string& m : groups[static_cast<size_t>(g)].Members) {
            const int mg = Group(m);
            if (mg < 0) {
                Add(list, Item(m, addressOnly));
            } else if (!met[static_cast<size_t>(mg)]) {
                Expand(m, addressOnly, met, list);
            }
        }
    }
    // The main window's tree, cut where a group is already on the path.
    void Tree(int parent, int depth, std::vector<int>& path, std::vector<TGroupTreeNode>& nodes,
              size_t bound, bool& cut) const {
        for (const std::string& m : groups[static_cast<size_t>(path.back())].Members) {
            const int g = Group(m);
            if (g < 0 || std::find(path.begin(), path.end(), g) != path.end()) {
                continue;
            }
            if (nodes.size() >= bound) {
                cut = true;
                return;
            }
            nodes.push_back({m, parent, depth + 1});
            path.push_back(g);
            Tree(static_cast<int>(nodes.size()) - 1, depth + 1, path, nodes, bound, cut);
            path.pop_back();
            if (cut) {
                return;
            }
        }
    }
};

std::string CheckExpansion(const TAddressBook& book, const TModel& model, const std::string& name,
                           bool addressOnly) {
    const TRecipientForm form =
        addressOnly ? TRecipientForm::AddressOnly : TRecipientForm::QuotedName;
    const TRecipientList list = book.ExpandRecipients(name, form);
    for (size_t i = 1; i < list.size(); ++i) {
        if (CompareRecipients(list[i - 1], list[i]) >= 0) {
            return "ExpandRecipients(" + Show(name) + ") not strictly ascending at " +
                   Show(list[i - 1]) + ", " + Show(list[i]);
        }
        if (RecipientSortKey(list[i - 1]) >= RecipientSortKey(list[i])) {
            return "RecipientSortKey disagrees with CompareRecipients at " + Show(list[i - 1]) +
                   ", " + Show(list[i]);
        }
    }
    std::vector<char> met(model.groups.size(), 0);
    std::vector<std::string> expected;
    model.Expand(name, addressOnly, met, expected);
    if (list != expected) {
        return "ExpandRecipients(" + Show(name) + ") gives " + std::to_string(list.size()) +
               " items, the plain expansion " + std::to_string(expected.size());
    }
    std::string joined;
    for (const std::string& item : list) {
        joined += item + "; ";
    }
    if (book.JoinedRecipients(name, form) != joined) {
        return "JoinedRecipients(" + Show(name) + ") differs from its items";
    }
    return {};
}

std::string CheckTree(const TAddressBook& book, const TModel& model) {
    bool truncated = false;
    const std::vector<TGroupTreeNode> nodes = BuildGroupTree(book, kTreeBound, &truncated);
    if (nodes.empty() || nodes[0].Name != "\\" || nodes[0].Parent != -1 || nodes[0].Depth != 0) {
        return "tree does not start with the root";
    }
    for (size_t i = 1; i < nodes.size(); ++i) {
        const TGroupTreeNode& n = nodes[i];
        if (n.Parent < 0 || static_cast<size_t>(n.Parent) >= i) {
            return "tree node " + std::to_string(i) + " comes before its parent";
        }
        if (n.Depth != nodes[static_cast<size_t>(n.Parent)].Depth + 1 || !book.IsGroup(n.Name)) {
            return "tree node " + std::to_string(i) + " has a wrong depth or is no group";
        }
        for (int p = n.Parent; p >= 0; p = nodes[static_cast<size_t>(p)].Parent) {
            if (nodes[static_cast<size_t>(p)].Name == n.Name) {
                return "tree node " + Show(n.Name) + " repeats an ancestor";
            }
        }
    }
    std::vector<TGroupTreeNode> expected{{"\\", -1, 0}};
    bool cut = false;
    const int root = model.Group("\\");
    if (root >= 0) {
        std::vector<int> path{root};
        model.Tree(0, 0, path, expected, kTreeBound, cut);
    }
    if (nodes.size() != expected.size() || truncated != cut) {
        return "tree has " + std::to_string(nodes.size()) + " nodes, the plain build " +
               std::to_string(expected.size());
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].Name != expected[i].Name || nodes[i].Parent != expected[i].Parent) {
            return "tree node " + std::to_string(i) + " differs from the plain build";
        }
    }
    return {};
}

std::string CheckBook(const TAddressBook& book, const TModel& model) {
    if (book.Cards() != model.cards) {
        return "cards differ from a plain reading: " + std::to_string(book.Cards().size()) +
               " against " + std::to_string(model.cards.size());
    }
    if (book.Groups().size() != model.groups.size()) {
        return "group count differs from a plain reading";
    }
    for (size_t i = 0; i < model.groups.size(); ++i) {
        if (book.Groups()[i].Name != model.groups[i].Name ||
            book.Groups()[i].Members != model.groups[i].Members) {
            return "group " + std::to_string(i) + " differs from a plain reading";
        }
    }

    // Every name the book knows, and a few it does not.
    std::set<std::string> names{"", "\\", "\x01unknown"};
    for (const TCard& c : model.cards) {
        names.insert(c.Nickname);
    }
    for (const TGroup& g : model.groups) {
        names.insert(g.Name);
        names.insert(g.Members.begin(), g.Members.end());
    }
    size_t expanded = 0;
    for (const std::string& name : names) {
        const int g = model.Group(name);
        const int c = model.Card(name);
        if (book.FindGroup(name) != g || book.FindCard(name) != c ||
            book.IsGroup(name) != (g >= 0)) {
            return "lookup of " + Show(name) + " differs";
        }
        const TNameList& members = book.GroupMembers(name);
        if (members != (g >= 0 ? model.groups[static_cast<size_t>(g)].Members : TNameList{})) {
            return "GroupMembers(" + Show(name) + ") differs";
        }
        const TCard* card = c >= 0 ? &model.cards[static_cast<size_t>(c)] : nullptr;
        if (book.CardAddress(name) != (card ? card->Address : "") ||
            book.CardMemo(name) != (card ? card->Memo : "") ||
            book.CardRecipient(name) != model.Item(name, false)) {
            return "card fields of " + Show(name) + " differ";
        }
        TCard record;
        if (card) {
            record = *card;
        } else if (g >= 0) {
            record.Nickname = name;
        }
        if (book.CardRecord(name) != record) {
            return "CardRecord(" + Show(name) + ") differs";
        }
        if (expanded++ < kMaxExpanded) {
            for (bool addressOnly : {false, true}) {
                std::string fault = CheckExpansion(book, model, name, addressOnly);
                if (!fault.empty()) {
                    return fault;
                }
            }
        }
    }
    return CheckTree(book, model);
}

}  // namespace

std::string FuzzAddressBook(const uint8_t* data, size_t size) {
    static TScratch scratch;
    if (scratch.Dir().empty()) {
        return "cannot create a temporary folder";
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view cardBytes = input;
    std::string_view groupBytes = input;
    const size_t sep = input.find(kFuzzGroupSeparator);
    if (sep != std::string_view::npos) {
        cardBytes = input.substr(0, sep);
        groupBytes = input.substr(sep + std::string_view(kFuzzGroupSeparator).size());
    }
    if (!WriteFile(scratch.Dir() / "card.dat", cardBytes) ||
        !WriteFile(scratch.Dir() / "group.dat", groupBytes)) {
        return "cannot write the address-book files";
    }

    std::string fault;
    try {
        TAddressBook book;
        book.SetFolder(scratch.Dir().string());
        book.Load();
        fault = CheckBook(book, TModel(ModelCards(cardBytes), ModelGroups(groupBytes)));
    } catch (const std::exception& e) {
        fault = std::string("exception: ") + e.what();
    }
    return fault;
}
