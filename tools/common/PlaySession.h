#pragma once

#include <string>
#include <vector>

#include <ktcp/KTComponentDB.h>

#include <ktrt/keys/KTComponentAnimation.h>

class KTComponent;
class KTPart;
class SoTransform;

namespace ktrt_tool {

/// What names a played animation on the command line: the world file, the
/// animation file, the component (empty: the animation's own, else the first
/// in the world) and whether the tracks' position keys play too.
struct PlayInput {
    std::string world;
    std::string animation;
    std::string component;
    bool positions = false;
};

/// The logical part of `component` named `name` and its "transform" node,
/// created when missing: true with both set, false when the component has no
/// such part or the part hands out something that is not an SoTransform.
bool findPartTransform(KTComponent& component, const std::string& name, KTPart*& part,
                       SoTransform*& transform);

/// A part that the animation moves: its name, the logical part, the
/// transform node that update() writes and the index of its track.
struct AnimatedPart {
    std::string name;
    KTPart* part;
    SoTransform* transform;
    unsigned int track;
};

/// A world read from an Inventor file, an animation read from its file, the
/// component it plays on and the parts it moves, as `ktrt play` sets them up.
/// The world owns the component and the parts.
struct PlaySession {
    KTComponentDB world;
    KTComponentAnimation animation;
    KTComponent* component = nullptr;
    std::vector<AnimatedPart> parts;
};

/// Reads the world and the animation of `input` into `session`, picks the
/// component and collects the animated parts. A track whose part is missing
/// is skipped with a note on standard error; with `requireParts`, an
/// animation none of whose tracks names a part fails. On failure prints one
/// `TOOL: ...` line (or the reader's error) and returns false.
bool openPlaySession(const char* tool, const PlayInput& input, PlaySession& session,
                     bool requireParts = false);

/// The number of frames of one full cycle: the key count of the first track
/// that has keys, as playback counts it.
int cycleLength(KTComponentAnimation& animation);

} // namespace ktrt_tool
