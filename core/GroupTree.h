// The group tree as the main window shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/AddressBook.h"

struct TGroupTreeNode {
    std::string Name;  // cp932; the root's is "\"
    int Parent;        // index of the parent node, -1 for the root
    int Depth;         // 0 for the root
};

// The most nodes the window and quorvantel-query show, the root included.
// Groups listed in many groups can need millions of nodes; building and
// showing this many stays well within a second.
inline constexpr size_t kMaxTreeNodes = 100000;

// The deepest level shown (the root is level 0). The tree view lays out each
// level inside the one above on the machine stack, which a chain of tens of
// thousands of levels overflows (a thousand take some 320 KB).
inline constexpr size_t kMaxTreeDepth = 1000;

// The most member entries the walk looks at. Without cycles every entry
// looked at adds a node, so only a book with cycles can reach this: there an
// entry naming a group on the path adds nothing, and cross-linked cycles can
// offer such entries without end.
inline constexpr size_t kMaxTreeSteps = 20000000;

// Builds the tree a node at a time, root "\" first, then depth first,
// children in member order. A member group already on the path from the root
// down to the parent is skipped, so cycles end. Stops at maxNodes nodes or
// maxSteps member entries, or at the first node deeper than maxDepth,
// whichever comes first, and says so: the tree then holds the first nodes in
// tree order.
class TGroupTreeBuilder {
  public:
    explicit TGroupTreeBuilder(const TAddressBook& book, size_t maxNodes = kMaxTreeNodes,
                               size_t maxDepth = kMaxTreeDepth, size_t maxSteps = kMaxTreeSteps);

    // The root "\", which must be the first node; returns its index.
    int AddRoot();
    // Adds group name and everything below it as the last child of node
    // parent. A name that is no group, or a group on the path from the root
    // down to parent, adds nothing.
    void Add(std::string_view name, int parent);

    const std::vector<TGroupTreeNode>& Nodes() const { return nodes_; }
    std::vector<TGroupTreeNode> TakeNodes() { return std::move(nodes_); }
    // True once a node was left out because of a bound.
    bool Truncated() const { return truncated_; }

  private:
    // The group indices of a group's members that are groups, in member
    // order; worked out once per group, so a card member costs nothing when
    // its group comes again under another parent.
    std::pair<const int*, const int*> SubGroups(int group);
    bool Room(int depth);

    const TAddressBook& book_;
    size_t maxNodes_;
    size_t maxDepth_;
    size_t maxSteps_;
    size_t steps_ = 0;
    bool truncated_ = false;
    std::vector<TGroupTreeNode> nodes_;
    std::vector<char> onPath_;
    std::vector<std::pair<uint32_t, uint32_t>> subRange_;  // into subPool_; first > second: not yet
    std::vector<int> subPool_;
};

// The whole tree: the root and every group below it. *truncated (if given)
// tells whether a bound cut it. The window and quorvantel-query pass
// kMaxTreeNodes and kMaxTreeDepth.
std::vector<TGroupTreeNode> BuildGroupTree(const TAddressBook& book, size_t maxNodes = SIZE_MAX,
                                           bool* truncated = nullptr, size_t maxDepth = SIZE_MAX);
