#pragma once

#include "model/ControlTable.h"

namespace orvex {

// One write a controller asked for, checked against the control table: a field's value, a mode
// memory to load (1..4), a scene to run (0..5), or a plug's value (node and 0/255 or a level 0..99).
struct RemoteWrite {
    const ControlEntry* entry = nullptr;
    int value = 0;
    int node = 0; // plugs only
};

// Whoever holds the link. The server's threads never touch the link or the store: they hand each
// write over here, and the owner applies it later on its own thread, through the setters a page
// uses. Post may be called from any thread and must not block.
class RemoteOwner {
public:
    virtual ~RemoteOwner() = default;
    virtual void Post(RemoteWrite write) = 0;
    // False when this owner cannot play scenes; a scene request is then refused.
    virtual bool RunsScenes() const { return true; }
};

} // namespace orvex
