#pragma once

#include <ktcp/ktcpdefs.h>

/// Start-up of the component library.
class KTCP_API KTComponentLibrary {
public:
    /// Initialises Coin (database, node kits, VRML nodes) and registers the
    /// library's node kits and attribute types. Call once before using any
    /// other class of the library; later calls do nothing.
    static void init();
    /// 1 once init() has run.
    static int isInitialized();
};
