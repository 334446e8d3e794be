#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <rw/RWCString.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/binding/KTPartBinding.h>
#include <ktrt/pose/KTPoseBlend.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/visibility.h>

class KTComponent;
class KTComponentAnimation;

/// Plays several animations on one component at once, blended: each
/// animation is an action (KTAnimationAction) with its own time, speed,
/// timing, weight, blend mode and fades. advance() moves every action on,
/// samples the active ones into poses (KTAnimationClip, no scene), blends
/// them (KTPoseBlend) and writes the result through its part binding once per
/// part, then calls the callback with the events passed.
///
/// Blending follows KTPoseBlend's rule, per part and channel: the active
/// REPLACE actions that animate it blend by their effective weights
/// (KTAnimationAction::getEffectiveWeight() times the action's part
/// weights), the pose the part had when the mixer bound it taking what they
/// weigh less than 1 in all; then every active ADDITIVE action adds its
/// difference from its own pose at time 0, scaled by its weight, onto that
/// (onto the bound pose where no REPLACE action animates the part). A channel
/// that no active action animates any longer (the last action animating it
/// stopped, or its fade-out ended on this tick) is written back to its rest
/// pose once, then left alone, so that a host may set it by hand.
///
/// The mixer binds the parts its actions' tracks name, as actions are added;
/// tracks whose part the component lacks are skipped. It writes nothing once
/// its component has been removed from its world or deleted
/// (isComponentPresent()); KTWorldDriver then drops it. Neither the component
/// nor the animations are owned; the actions are, and go with the mixer.
/// Used from one thread, as Coin is.
class KTRT_API KTAnimationMixer {
public:
    /// What the callback is given: the data registered with it, the mixer,
    /// the action and what happened.
    typedef void Callback(void* data, KTAnimationMixer* mixer, KTAnimationAction* action,
                          KTAnimationAction::Event event);

    /// A mixer of no component: it writes nothing.
    KTAnimationMixer();
    /// A mixer for `component` (not owned) without actions; null binds
    /// nothing.
    explicit KTAnimationMixer(KTComponent* component);
    /// The same component and parts, copies of the actions (belonging to
    /// the copy) and the same callback.
    KTAnimationMixer(const KTAnimationMixer& other);
    /// As the copy constructor; the actions held before are deleted.
    KTAnimationMixer& operator=(const KTAnimationMixer& other);
    /// Deletes the actions; the parts are not touched.
    ~KTAnimationMixer();
    /// 1 when both play on the same component.
    int operator==(const KTAnimationMixer& other) const;

    /// A new stopped action of `clip` (shared) under `timing`, owned by the
    /// mixer; null for a null clip, timing the clip refuses or a mixer of no
    /// component.
    KTAnimationAction* addAction(const std::shared_ptr<const KTAnimationClip>& clip,
                                 const KTAnimationClip::Timing& timing = {});
    /// As addAction() with the clip of `animation` (not owned): prepared the
    /// first time the mixer is given that animation and shared by every
    /// action of it after that, so later changes to its keys do not reach the
    /// mixer (add a new KTAnimationClip::create() then). Null for null.
    KTAnimationAction* addAction(KTComponentAnimation* animation,
                                 const KTAnimationClip::Timing& timing = {});
    /// Deletes `action`; 0 when it is not one of this mixer's. Safe from
    /// inside the callback.
    int removeAction(KTAnimationAction* action);
    /// Number of actions.
    unsigned int getNumActions() const { return static_cast<unsigned int>(actions.size()); }
    /// Action `index` (owned by the mixer), or null past the end.
    KTAnimationAction* getAction(unsigned int index) const;

    /// The component (not owned), or null when none was given or it was
    /// deleted.
    KTComponent* getComponent() const { return binding.getComponent(); }
    /// 1 while the component exists and is still in the world it was in.
    int isComponentPresent() const { return binding.isComponentPresent(); }
    /// Number of parts bound.
    unsigned int getNumParts() const { return static_cast<unsigned int>(partNames.size()); }
    /// The name of part `index`; "" past the end.
    const RWCString& getPartName(unsigned int index) const;
    /// The number of the bound part named `name`, or -1 when no part of that
    /// name is bound.
    int getPartIndex(const RWCString& name) const;

    /// Puts back the state of the actions from `saved`, a copy of this mixer
    /// made earlier: action i takes the time, speed, timing, weight, blend
    /// mode, part weights, play state, fades and warp of `saved`'s action i,
    /// for every i where both have an action of the same clip. Actions added
    /// or removed since are left as they are; nothing is written. 0 when
    /// `saved` plays on another component.
    int restoreActions(const KTAnimationMixer& saved);

    /// Moves every action on by `elapsedSeconds` (not negative, finite;
    /// anything else is ignored), writes the blended pose, then reports the
    /// events. Nothing is written once the component is gone.
    void advance(double elapsedSeconds);
    /// The pose last blended (one part per bound part).
    const KTPose& getPose() const { return pose; }
    /// Writes back the five transform fields every part had when bound.
    void resetState();
    /// Sets the callback (null for none) and its data. It is called only
    /// from inside advance(), after the pose is written, once per event. It
    /// may do anything to the actions (play, fade, remove, add), copy the
    /// mixer, delete the mixer, remove or delete its component, or reload the
    /// KTWorldAnimations that owns the mixer: advance() reads nothing of a
    /// deleted mixer, and events of a removed action are not reported. An
    /// advance() called from inside the callback is ignored.
    void setCallback(Callback* callback, void* data);
    /// The binding of the mixer's parts (what it writes, and whether the
    /// component is still there).
    const KTPartBinding& getBinding() const { return binding; }
    /// A token that expires when the mixer is destroyed: how a driver holding
    /// the mixer knows that it is gone.
    std::weak_ptr<const void> getLifetime() const { return lifetime; }

private:
    struct Entry {
        std::unique_ptr<KTAnimationAction> action;
        // Track t of the action's clip goes into part partOfTrack[t] (-1: the
        // component has no such part).
        std::vector<int> partOfTrack;
        // Scratch: the action's pose, and for ADDITIVE its pose at time 0
        // under `referenceTiming`.
        KTPose sampled;
        KTPose reference;
        KTAnimationClip::Timing referenceTiming;
        bool referenceValid = false;
        // Where the action's last sample fell on each track.
        KTAnimationClip::Cursor cursor;
        // Removed from inside the callback: deleted once the events are out.
        bool removed = false;
    };
    struct Pending {
        KTAnimationAction* action;
        KTAnimationAction::Event event;
    };

    void copyFrom(const KTAnimationMixer& other);
    int partIndex(const RWCString& name);
    void addEntry(std::unique_ptr<KTAnimationAction> action);
    void blend();
    void restoreReleasedParts();
    void forgetRestoredParts();
    void dropRemoved();

    KTPartBinding binding;
    std::vector<RWCString> partNames;
    // Part name -> part number, -1 for names the component lacks.
    std::unordered_map<std::string, int> partsByName;
    // The clip prepared for each animation given to addAction().
    std::unordered_map<const KTComponentAnimation*, std::shared_ptr<const KTAnimationClip>> clips;
    KTPose restPose;
    bool restPoseValid = false;
    KTPose pose;
    // Per part, the channels the last advance() wrote from actions, and the
    // channels this one put back to the rest pose.
    std::vector<int> writtenChannels;
    std::vector<int> restoredChannels;
    std::vector<Entry> actions;
    // Scratch of blend(): the REPLACE and the ADDITIVE actions' layers.
    std::vector<KTPoseBlend::Layer> layers;
    std::vector<KTPoseBlend::Layer> additiveLayers;
    std::vector<KTAnimationAction::Event> actionEvents;
    std::vector<Pending> pending;
    bool dispatching = false;
    Callback* callback = nullptr;
    void* callbackData = nullptr;
    // Each mixer, copies included, has its own.
    std::shared_ptr<const int> lifetime = std::make_shared<const int>(0);
};
