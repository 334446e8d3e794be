#pragma once

#include "common/Findings.h"

#include <string>
#include <vector>

namespace ktrt_tool {

/// A KTAnimationPlayback node as the world file writes it.
struct PlaybackText {
    std::string component;  ///< DEF name of the component it belongs to
    std::string animation;  ///< its animation field, unquoted; "" when not given
    bool positions = false; ///< its positions field is TRUE
    int line = 0;           ///< where the node's type name stands
    int column = 0;
};

/// Findings about the Inventor world at `path` that Coin reads without a
/// word, from the file's text: fields that a KTComponent or KTPart does not
/// have (with a spelling hint), nodes of the wrong type in their part fields,
/// a KTComponent without a DEF name, two KTPart nodes of one component with
/// the same DEF name, a VRML 2.0 header, and in KTAnimationPlayback nodes a
/// weight that is negative or not finite, a wrap, interpolation or blend
/// that is none of its names and parts the component lacks. The playback
/// nodes go into `playbacks` when given, in file order. Call after
/// KTComponentLibrary::init(); `path` must be a regular file.
std::vector<Issue> checkWorldText(const std::string& path,
                                  std::vector<PlaybackText>* playbacks = nullptr);

/// The column of Coin's read error `message` in `line`: where the first word
/// the message quotes stands, else 1.
int columnOfCoinError(const std::string& message, const std::string& line);

} // namespace ktrt_tool
