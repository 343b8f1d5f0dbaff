#include "host/node_walk.h"

#include <strings.h>

INode* FindNodeByName(INode* start, const char* name) {
    if (!start) return nullptr;
    auto matches = [name](INode* n) {
        const char* own = n->GetName();
        return own && strcasecmp(own, name) == 0;
    };
    return matches(start) ? start : FindBelow(start, matches);
}

Modifier* FindModifier(INode* node, Class_ID id) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        const int n = derived->NumModifiers();
        for (int i = 0; i < n; ++i) {
            Modifier* m = derived->GetModifier(i);
            if (m && m->ClassID() == id) return m;
        }
        obj = derived->GetObjRef();
    }
    return nullptr;
}

INode* TopLevelAncestor(INode* node, INode* root) {
    while (node) {
        INode* parent = node->GetParentNode();
        if (parent == root) return node;
        node = parent;
    }
    return nullptr;
}

bool IsDummy(INode& node) {
    Object* obj = node.EvalWorldState(0, TRUE).obj;
    return obj && obj->ClassID() == DUMMY_CLASS_ID;
}
