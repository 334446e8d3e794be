#pragma once

#include <memory>
#include <vector>

#include <rw/RWCString.h>

#include <ktrt/visibility.h>

class KTAnimationMixer;
class KTAnimationPlayback;
class KTAnimationPlayer;
class KTComponent;
class KTComponentAnimation;
class KTComponentDB;
class KTPartAnimation;

/// The animations a world file names: one player for every
/// KTAnimationPlayback node found under a component, bound to the nearest
/// component above the node, with the node's animation, speed, wrap mode,
/// interpolation, key rate and cycle length. A component that layers its
/// animations (several nodes, or one whose weight is not 1, whose blend is
/// ADDITIVE or that names parts) gets one KTAnimationMixer instead, with one
/// action per node carrying the node's settings, weight, blend mode and
/// parts (the others weigh 0 for it). Animations are read by name through
/// the registry loader (KTComponentAnimation::loadAnimationFromFile()).
///
/// Playback nodes that name the same animation with the same `positions`
/// setting share one animation and one prepared clip (KTAnimationClip).
///
/// The set owns its players and their animations. The world is read by
/// load() only; its components may be removed or deleted at any time, after
/// which their players write nothing. Hand the players to a KTWorldDriver
/// with addPlayer() to play them by real time: when the set deletes them
/// (load() again, assignment, destruction) the driver drops them untouched,
/// as does a KTPoseState that recorded them. Used from one thread, as Coin
/// is.
class KTRT_API KTWorldAnimations {
public:
    /// No players.
    KTWorldAnimations();
    /// As load(world).
    explicit KTWorldAnimations(KTComponentDB* world);
    /// Copies of the source's players (bound to the same parts), sharing its
    /// animations.
    KTWorldAnimations(const KTWorldAnimations& other);
    /// As the copy constructor; the players held before are deleted.
    KTWorldAnimations& operator=(const KTWorldAnimations& other);
    /// Deletes the players and, with the last set that shares them, the
    /// animations.
    ~KTWorldAnimations();

    /// 1 when both sets were loaded from the same world.
    int operator==(const KTWorldAnimations& other) const;

    /// Deletes the players and mixers held, then makes one player for every
    /// playback node of every component of `world` whose animation reads (a
    /// mixer for a component that layers), and writes each one's pose at
    /// time 0. Returns the number of players and mixers; a null world,
    /// or a process where KTAnimationPlayback::initClass() was never called,
    /// gives none. Nodes whose animation fails are listed by getFailure().
    int load(KTComponentDB* world);

    /// Number of players.
    unsigned int getNumPlayers() const { return static_cast<unsigned int>(players.size()); }
    /// Player `index` (owned by the set), or null past the end.
    KTAnimationPlayer* getPlayer(unsigned int index) const;
    /// The first player bound to the component named `componentName`
    /// exactly, or null; players whose component was deleted are skipped.
    KTAnimationPlayer* getPlayer(const RWCString& componentName) const;

    /// Number of mixers: one for every component that layers animations
    /// (several playback nodes, or one whose weight is not 1, whose blend
    /// is ADDITIVE or that names parts), with one action per node.
    unsigned int getNumMixers() const { return static_cast<unsigned int>(mixers.size()); }
    /// Mixer `index` (owned by the set), or null past the end.
    KTAnimationMixer* getMixer(unsigned int index) const;
    /// The mixer of the component named `componentName` exactly, or null;
    /// mixers whose component was deleted are skipped.
    KTAnimationMixer* getMixer(const RWCString& componentName) const;

    /// Number of playback nodes whose animation could not be read.
    unsigned int getNumFailures() const { return static_cast<unsigned int>(failures.size()); }
    /// Why playback node `index` plays nothing: the component, the animation
    /// name and the reader's message, line number and line when it has one;
    /// "" past the end.
    RWCString getFailure(unsigned int index) const;

    /// 1 when `track` holds a key whose position is not the origin: the
    /// tracks that a playback node's `positions` TRUE makes play their
    /// positions. A file's part without position keys reads as zero
    /// positions, which must not pin the part to the origin.
    static int hasPositionKeys(KTPartAnimation& track);
    /// Sets usePositions on every track of `animation` for which
    /// hasPositionKeys() holds, leaving the others as they are; returns how
    /// many tracks that is.
    static unsigned int usePositionKeys(KTComponentAnimation& animation);
    /// Every KTAnimationPlayback node below the components of `world`, each
    /// once, in the order of the components; none for a null world.
    static std::vector<KTAnimationPlayback*> findPlaybackNodes(KTComponentDB* world);
    /// The KTAnimationPlayback nodes whose nearest component above them is
    /// `component` (nodes of components nested in it belong to those), in
    /// depth-first order; none for null.
    static std::vector<KTAnimationPlayback*> findPlaybackNodesOf(KTComponent* component);

private:
    void copyFrom(const KTWorldAnimations& other);

    KTComponentDB* world;
    std::vector<std::shared_ptr<KTComponentAnimation>> animations;
    std::vector<std::unique_ptr<KTAnimationPlayer>> players;
    std::vector<std::unique_ptr<KTAnimationMixer>> mixers;
    std::vector<RWCString> failures;
};
