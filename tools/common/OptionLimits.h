#pragma once

#include <string>

#include <CLI/CLI.hpp>

// The numeric options of every ktrt command and their limits, in one place:
// the validators that the commands attach to their options, and the frame
// counts that a rate and a length give. A value out of its range is a usage
// error (exit status 2) with a short message that names the range.
namespace ktrt_tool {

/// The documented limits of the command-line options.
struct OptionLimits {
    /// --fps, --rate, --key-rate: samples (or keys) per second.
    static constexpr double minRate = 0.001;
    static constexpr double maxRate = 10000.0;
    /// --time, --duration: seconds, either side of 0 for --time.
    static constexpr double maxSeconds = 1000000.0;
    /// |--speed|: a multiple of real time.
    static constexpr double minSpeed = 0.001;
    static constexpr double maxSpeed = 1000.0;
    /// Frames played, rows printed, samples exported or keys imported.
    static constexpr long maxFrames = 1000000;
    /// --max-memory: megabytes, up to a terabyte.
    static constexpr long minMegabytes = 16;
    static constexpr long maxMegabytes = 1048576;
};

/// A rate per second in [minRate, maxRate].
CLI::Validator rateOption();
/// A whole number of frames in [0, maxFrames].
CLI::Validator frameCountOption();
/// A whole number of megabytes in [minMegabytes, maxMegabytes].
CLI::Validator megabytesOption();
/// Seconds in [0, maxSeconds], or in [-maxSeconds, maxSeconds] with
/// `negativeToo`.
CLI::Validator secondsOption(bool negativeToo);
/// A speed whose size is in [minSpeed, maxSpeed], either sign.
CLI::Validator speedOption();

/// Turns a setting spelt as in a world file (`PING_PONG`, `Linear`) into the
/// command line's spelling (`ping-pong`, `linear`): lower case, '-' for '_'.
/// Put it before the check of the allowed names.
CLI::Validator worldSpelling();

/// The number of whole frames in `product` (a length times a rate, computed
/// from float times): its floor, except that a product within a relative
/// 2.5e-7 (two steps of a float) of a whole number, such as 45.99999905,
/// counts as that number. Negative or not finite gives -1.
long wholeFrames(double product);

/// Whether `count` frames (or rows, samples: `unit`) are within maxFrames.
/// When not, prints `TOOL: WHAT gives COUNT UNIT, more than the limit of
/// 1000000` on standard error; the command then exits with status 2.
bool withinFrameLimit(const char* tool, const std::string& what, double count,
                      const char* unit = "frames");

} // namespace ktrt_tool
