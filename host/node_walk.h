// The scene walks every layer above the host shares: depth-first node searches, the modifier-stack
// walk and the top-level ancestor. All are iterative, so any depth of hierarchy is safe.
#pragma once

#include <vector>

#include "host/scene.h"

// Visits the nodes below node (not node itself) depth-first, pre-order, children in index order,
// until visit returns true; returns that node, or null when visit never does. Null node: null.
template <class Visit>
INode* FindBelow(INode* node, Visit visit) {
    std::vector<INode*> stack;
    auto pushChildren = [&stack](INode* n) {
        for (int i = n->NumberOfChildren() - 1; i >= 0; --i)
            if (INode* child = n->GetChildNode(i)) stack.push_back(child);
    };
    if (node) pushChildren(node);
    while (!stack.empty()) {
        INode* n = stack.back();
        stack.pop_back();
        if (visit(n)) return n;
        pushChildren(n);
    }
    return nullptr;
}

// Calls visit on every node below node, in FindBelow's order.
template <class Visit>
void ForEachBelow(INode* node, Visit visit) {
    FindBelow(node, [&visit](INode* n) {
        visit(n);
        return false;
    });
}

// The first node, in depth-first pre-order starting with start itself, whose name equals name
// ignoring the case of ASCII letters; null when there is none.
INode* FindNodeByName(INode* start, const char* name);

// The first modifier with the class id on node's modifier stack, searched from the top of the stack
// down through nested derived objects to the base object; null when there is none.
Modifier* FindModifier(INode* node, Class_ID id);

// Whether node's object, evaluated at time 0, is a dummy (an empty: a marker candidate at the top
// of the scene).
bool IsDummy(INode& node);

// The ancestor of node (or node itself) whose parent is root; null for a null node or when the
// parent chain ends before reaching root.
INode* TopLevelAncestor(INode* node, INode* root);
