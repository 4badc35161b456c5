#include "GroupTree.h"

std::vector<TGroupTreeNode> BuildGroupTree(const TAddressBook& book, size_t maxNodes,
                                           bool* truncated) {
    std::vector<TGroupTreeNode> nodes;
    if (truncated) {
        *truncated = false;
    }
    if (maxNodes == 0) {
        if (truncated) {
            *truncated = true;
        }
        return nodes;
    }
    const std::string kRoot = "\\";
    nodes.push_back({kRoot, -1, 0});

    const auto& groups = book.Groups();
    std::vector<char> onPath(groups.size(), 0);
    struct Frame {
        int node;
        int group;  // -1 when the node's name is no group (only the root can be)
        size_t next;
    };
    std::vector<Frame> stack;
    int rootGroup = book.FindGroup(kRoot);
    if (rootGroup >= 0) {
        onPath[static_cast<size_t>(rootGroup)] = 1;
        stack.push_back({0, rootGroup, 0});
    }
    while (!stack.empty()) {
        Frame& top = stack.back();
        const TNameList& members = groups[static_cast<size_t>(top.group)].Members;
        if (top.next == members.size()) {
            onPath[static_cast<size_t>(top.group)] = 0;
            stack.pop_back();
            continue;
        }
        const std::string& member = members[top.next++];
        int g = book.FindGroup(member);
        if (g < 0 || onPath[static_cast<size_t>(g)]) {
            continue;
        }
        if (nodes.size() >= maxNodes) {
            if (truncated) {
                *truncated = true;
            }
            break;
        }
        int parent = top.node;
        nodes.push_back({member, parent, nodes[static_cast<size_t>(parent)].Depth + 1});
        onPath[static_cast<size_t>(g)] = 1;
        stack.push_back({static_cast<int>(nodes.size()) - 1, g, 0});
    }
    return nodes;
}
