#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "common/Crossfade.h"
#include "common/PlaySession.h"

// `ktrt play` by time: the options that choose times and playback settings,
// and the table of poses at those times, played with KTAnimationPlayer.
namespace ktrt_tool {

struct TimeOptions {
    std::vector<double> times; // --time
    double rate = 0.0;         // --rate, rows per second
    double duration = -1.0;    // --duration, seconds (default: one cycle)
    double keyRate = 0.0;      // --key-rate (default: the world's or 30)
    double speed = 0.0;        // --speed (0: the world's or 1)
    std::string interpolation; // --interpolation step|linear|hold
    std::string wrap;          // --wrap loop|clamp|ping-pong
    bool positions = false;    // --positions
    std::string component;     // --component
    bool reset = false;        // --reset

    /// Whether the command line asks for the pose at chosen times.
    bool requested() const { return !times.empty() || rate > 0.0; }
};

/// Adds --time, --rate, --duration, --key-rate, --speed, --interpolation and
/// --wrap to `command`.
void addTimeOptions(CLI::App& command, TimeOptions& options);

/// Reads the world and plays by time: the animation file of `input` on its
/// component when given, else the animation the world file names (registered
/// from beside the world file when the registry does not know it). Prints the
/// table; exit status.
int playByTime(const PlayInput& input, const TimeOptions& options);

/// Plays the animation file of `input` and fades to the animation of `fade`
/// on the same component, by time with the settings of `options` for both,
/// and prints the table of faded poses with B's weight. Exit status: 2 when
/// `input` names no animation file or the rows exceed the limit, 1 when a
/// file cannot be played.
int playCrossfade(const PlayInput& input, const TimeOptions& options, const CrossfadeOptions& fade);

} // namespace ktrt_tool
