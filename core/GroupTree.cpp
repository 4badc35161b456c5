#include "core/GroupTree.h"

TGroupTreeBuilder::TGroupTreeBuilder(const TAddressBook& book, size_t maxNodes, size_t maxDepth,
                                     size_t maxSteps)
    : book_(book),
      maxNodes_(maxNodes),
      maxDepth_(maxDepth),
      maxSteps_(maxSteps),
      onPath_(book.Groups().size(), 0),
      subRange_(book.Groups().size(), {1, 0}) {}

bool TGroupTreeBuilder::Room(int depth) {
    if (nodes_.size() < maxNodes_ && static_cast<size_t>(depth) <= maxDepth_) {
        return true;
    }
    truncated_ = true;
    return false;
}

int TGroupTreeBuilder::AddRoot() {
    if (!Room(0)) {
        return -1;
    }
    nodes_.push_back({"\\", -1, 0});
    return static_cast<int>(nodes_.size()) - 1;
}

std::pair<const int*, const int*> TGroupTreeBuilder::SubGroups(int group) {
    auto& range = subRange_[static_cast<size_t>(group)];
    if (range.first > range.second) {
        range.first = static_cast<uint32_t>(subPool_.size());
        for (const std::string& member : book_.Groups()[static_cast<size_t>(group)].Members) {
            const int g = book_.FindGroup(member);
            if (g >= 0) {
                subPool_.push_back(g);
            }
        }
        range.second = static_cast<uint32_t>(subPool_.size());
    }
    // The pool may have moved since this range was made: pointers are made now.
    return {subPool_.data() + range.first, subPool_.data() + range.second};
}

void TGroupTreeBuilder::Add(std::string_view name, int parent) {
    if (truncated_ || parent < 0 || static_cast<size_t>(parent) >= nodes_.size()) {
        return;
    }
    const int group = book_.FindGroup(name);
    if (group < 0) {
        return;
    }
    // The groups on the path from the root down to parent.
    std::vector<int> path;
    for (int n = parent; n >= 0; n = nodes_[static_cast<size_t>(n)].Parent) {
        const int g = book_.FindGroup(nodes_[static_cast<size_t>(n)].Name);
        if (g >= 0 && !onPath_[static_cast<size_t>(g)]) {
            onPath_[static_cast<size_t>(g)] = 1;
            path.push_back(g);
        }
    }
    struct Frame {
        int node;
        int group;
        size_t next;
    };
    std::vector<Frame> stack;
    auto push = [&](int g, int parentNode) {
        const TGroupTreeNode& p = nodes_[static_cast<size_t>(parentNode)];
        nodes_.push_back({book_.Groups()[static_cast<size_t>(g)].Name, parentNode, p.Depth + 1});
        onPath_[static_cast<size_t>(g)] = 1;
        stack.push_back({static_cast<int>(nodes_.size()) - 1, g, 0});
    };
    if (!onPath_[static_cast<size_t>(group)] &&
        Room(nodes_[static_cast<size_t>(parent)].Depth + 1)) {
        push(group, parent);
    }
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto [begin, end] = SubGroups(top.group);
        if (top.next == static_cast<size_t>(end - begin)) {
            onPath_[static_cast<size_t>(top.group)] = 0;
            stack.pop_back();
            continue;
        }
        const int g = begin[top.next++];
        if (++steps_ > maxSteps_) {
            truncated_ = true;
            break;
        }
        if (onPath_[static_cast<size_t>(g)]) {
            continue;
        }
        if (!Room(nodes_[static_cast<size_t>(top.node)].Depth + 1)) {
            break;
        }
        push(g, top.node);
    }
    // Leave no marks behind for the next call.
    for (const Frame& f : stack) {
        onPath_[static_cast<size_t>(f.group)] = 0;
    }
    for (int g : path) {
        onPath_[static_cast<size_t>(g)] = 0;
    }
}

std::vector<TGroupTreeNode> BuildGroupTree(const TAddressBook& book, size_t maxNodes,
                                           bool* truncated, size_t maxDepth) {
    TGroupTreeBuilder builder(book, maxNodes, maxDepth);
    const int root = builder.AddRoot();
    if (root >= 0) {
        for (const std::string& name : book.GroupMembers("\\")) {
            builder.Add(name, root);
            if (builder.Truncated()) {
                break;
            }
        }
    }
    if (truncated) {
        *truncated = builder.Truncated();
    }
    return builder.TakeNodes();
}
