#pragma once

#include <Inventor/nodekits/SoBaseKit.h>
#include <Inventor/nodekits/SoSubKit.h>

#include <ktcp/ktcpdefs.h>

/// A logical part of a component: a node kit whose node name is the part's
/// name, with a "transform" (SoTransform) and a "geometry" (SoSeparator that
/// holds the part's shapes and its own nested parts) under a separator.
/// Reference-counted like every Coin node.
class KTCP_API KTPart : public SoBaseKit {
    typedef SoBaseKit inherited;
    SO_KIT_HEADER(KTPart);
    SO_KIT_CATALOG_ENTRY_HEADER(topSeparator);
    SO_KIT_CATALOG_ENTRY_HEADER(transform);
    SO_KIT_CATALOG_ENTRY_HEADER(geometry);

public:
    /// An unnamed part with no transform or geometry yet (both are created by
    /// getPart(name, TRUE)).
    KTPart();
    /// Registers the class with Coin; called by KTComponentLibrary::init().
    static void initClass();
    /// Renames the node as SoBase::setName does; components that index their
    /// parts by name look again.
    void setName(const SbName& newName) override;

protected:
    /// Protected: a part goes away when its last reference is released.
    ~KTPart() override;

private:
    friend class KTComponent;
    // Renames of any part so far; a component's part index is current only
    // for the count it was built at.
    static unsigned long renameCount;
};
