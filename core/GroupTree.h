// The group tree as the main window shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "AddressBook.h"

struct TGroupTreeNode {
    std::string Name;  // cp932; the root's is "\"
    int Parent;        // index of the parent node, -1 for the root
    int Depth;         // 0 for the root
};

// Root "\" first, then depth first, children in member order. A member group
// already on the path from the root down to the parent is skipped, so cycles
// end. At most maxNodes nodes; *truncated (if given) tells whether the bound cut it.
std::vector<TGroupTreeNode> BuildGroupTree(const TAddressBook& book, size_t maxNodes = SIZE_MAX,
                                           bool* truncated = nullptr);
