#pragma once

#include "common/Findings.h"
#include "common/WorldChecker.h"

#include <string>
#include <vector>

class KTComponent;
class KTComponentDB;

namespace ktrt_tool {

/// The file that animation `name` of a world file stands for: `name`, else
/// `name`.kta, in the folder of the world file at `worldPath` (a name that
/// starts with / as it is). "" when neither is a readable regular file; there
/// is no other place to look.
std::string animationBesideWorld(const std::string& worldPath, const std::string& name);

/// The MISSING_ANIMATION finding about `playback`, a node of the world file
/// at `worldPath` whose animation is not beside it.
Issue missingAnimation(const std::string& worldPath, const PlaybackText& playback);

/// Reads every animation that the KTAnimationPlayback nodes of `world` (read
/// from `worldPath`, whose text placed them at `written`) name, from beside
/// the world file, as play does (loadAnimation()), and registers each under
/// its name for KTWorldAnimations. A missing animation, or one that does not
/// play, prints WORLD:LINE:COLUMN: error: MESSAGE at the node that names it
/// (then the animation's own error) on standard error. Returns the number of
/// nodes that name an animation, or -1 when one failed.
int registerWorldAnimations(const char* tool, KTComponentDB& world, const std::string& worldPath,
                            const std::vector<PlaybackText>& written);

/// One line per playback node of `component` that names an animation: the
/// file it plays (as registered), its weight, blend mode and parts, such as
/// `figure.kta, weight 0.5, ADDITIVE, parts RightArm, Head`.
std::vector<std::string> describeLayers(KTComponent& component);

} // namespace ktrt_tool
