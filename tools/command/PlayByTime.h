#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "common/PlaySession.h"
#include "common/TimedPlayback.h"

// `ktrt play` by time: the options that choose times and playback settings,
// and the table of poses at those times, played forward through a mixer
// (TimedPlayback) as a host plays it.
namespace ktrt_tool {

struct TimeOptions {
    std::vector<double> times; // --time
    double rate = 0.0;         // --rate, rows per second
    double duration = -1.0;    // --duration, seconds (default: one cycle)
    double keyRate = 0.0;      // --key-rate (default: the world's or 30)
    double speed = 0.0;        // --speed (0: the world's or 1)
    std::string interpolation; // --interpolation step|linear|hold
    std::string wrap;          // --wrap loop|clamp|ping-pong
    bool reset = false;        // --reset

    /// Whether the command line asks for the pose at chosen times.
    bool requested() const { return !times.empty() || rate > 0.0; }
};

/// Adds --time, --rate, --duration, --key-rate, --speed, --interpolation and
/// --wrap to `command`.
void addTimeOptions(CLI::App& command, TimeOptions& options);

/// Plays by time, forward from 0, and prints the table: the animation file
/// of `input` on its component when given, else the animations the world
/// names (registered from beside the world file when the registry does not
/// know them); with `fade` requested, fading from those to B. Exit status: 2
/// for options that do not fit (times that go back, too many rows), 1 when a
/// file cannot be played.
int playByTime(const PlayInput& input, const TimeOptions& options, const CrossfadeOptions& fade);

} // namespace ktrt_tool
