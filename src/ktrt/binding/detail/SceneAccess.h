#pragma once

#include <vector>

#include <Inventor/SoFullPath.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/lists/SoPathList.h>
#include <Inventor/nodekits/SoBaseKit.h>
#include <Inventor/nodes/SoNode.h>
#include <Inventor/nodes/SoTransform.h>

namespace ktrt::detail {

/// The last node of a path, hidden node-kit children included. Inside a node
/// kit a path's public tail is the kit; Coin's way to see the whole path is to
/// view it as an SoFullPath, which adds no data to SoPath. The sanitizer's
/// dynamic-type check does not know that idiom, hence its exemption here.
#if defined(__GNUC__)
__attribute__((no_sanitize("vptr")))
#endif
inline SoNode*
fullPathTail(SoPath* path) {
    return static_cast<SoFullPath*>(path)->getTail();
}

/// The nodes of `path` from its head to its tail, hidden node-kit children
/// included, replacing the contents of `nodes` (the same SoFullPath view).
#if defined(__GNUC__)
__attribute__((no_sanitize("vptr")))
#endif
inline void
fullPathNodes(SoPath* path, std::vector<SoNode*>& nodes) {
    auto* full = static_cast<SoFullPath*>(path);
    nodes.clear();
    for (int n = 0; n < full->getLength(); ++n)
        nodes.push_back(full->getNode(n));
}

/// Calls `visit` with the path to every node of class `type` (or derived
/// from it) at or below `root`, including nodes inside node kits and below
/// switches whatever child they select. The global node-kit search setting is
/// left as found.
template <class Visit> void forEachPathToType(SoNode* root, SoType type, Visit visit) {
    const SbBool searchedChildren = SoBaseKit::isSearchingChildren();
    SoBaseKit::setSearchingChildren(TRUE);
    SoSearchAction search;
    search.setType(type, TRUE);
    search.setInterest(SoSearchAction::ALL);
    search.setSearchingAll(TRUE);
    search.apply(root);
    SoBaseKit::setSearchingChildren(searchedChildren);

    const SoPathList& paths = search.getPaths();
    for (int i = 0; i < paths.getLength(); ++i) {
        SoNode* tail = fullPathTail(paths[i]);
        if (tail != nullptr && tail->isOfType(type))
            visit(paths[i], tail);
    }
}

/// Calls `visit` with every node of class `type` (or derived from it) at or
/// below `root`, as forEachPathToType() finds them.
template <class Visit> void forEachNodeOfType(SoNode* root, SoType type, Visit visit) {
    forEachPathToType(root, type, [&](SoPath*, SoNode* tail) { visit(tail); });
}

/// The "transform" part of a component or logical part, created when missing;
/// null when the kit hands out something that is not a transform. Callers that
/// look up many parts pass the part name made once.
template <class Kit> SoTransform* transformPartOf(Kit* kit, const SbName& partName) {
    SoNode* part = kit->getPart(partName, TRUE);
    if (part == nullptr || !part->isOfType(SoTransform::getClassTypeId()))
        return nullptr;
    return static_cast<SoTransform*>(part);
}

} // namespace ktrt::detail
