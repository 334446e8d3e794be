#pragma once

#include <deque>

#include <rw/RWCString.h>
#include <ktrt/snapshot/KTObjectState.h>
#include <ktrt/visibility.h>

class KTComponentDB;

/// The state of every component of one world: name, transform, attribute
/// values and behavior flags, kept as one object state per component in walk
/// order. It can be put back onto the same world only, any number of times.
/// Lights and viewpoints are not included (see KTLightState and
/// KTViewpointState). The world is not owned. Equality compares the worlds
/// the snapshots were taken from, not the entries.
class KTRT_API KTWorldState {
public:
    /// No entries, no world.
    KTWorldState();
    /// Copies the name, every entry and the world pointer.
    KTWorldState(const KTWorldState& other);
    /// As the copy constructor; assigning a state to itself changes nothing.
    KTWorldState& operator=(const KTWorldState& other);
    /// Destroys the entries; the world is not touched.
    ~KTWorldState();

    /// 1 when both states were taken from the same world (or neither was
    /// taken), else 0.
    int operator==(const KTWorldState& other) const;

    /// Replaces the entries by the state of every component of `world` and
    /// remembers the world; a null world keeps the previous snapshot.
    void makeSnapshot(KTComponentDB* world);
    /// Writes every entry back onto the first component of the same exact
    /// name: the transform, then the attribute values (the plain values only:
    /// no recolouring, no texture step, the current directory untouched), then
    /// the behaviors: recorded-active ones are activated, but ones active now
    /// are never deactivated. Components without an entry, and entries without
    /// a component, are skipped. Only the world of the snapshot is accepted;
    /// null or another world does nothing.
    void restoreFromSnapshot(KTComponentDB* world);

private:
    RWCString name;
    std::deque<KTObjectState> objectStates;
    KTComponentDB* world;
};
