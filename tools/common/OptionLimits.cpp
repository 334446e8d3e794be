#include "common/OptionLimits.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace ktrt_tool {

constexpr double OptionLimits::minRate;
constexpr double OptionLimits::maxRate;
constexpr double OptionLimits::maxSeconds;
constexpr double OptionLimits::minSpeed;
constexpr double OptionLimits::maxSpeed;
constexpr long OptionLimits::maxFrames;
constexpr long OptionLimits::minMegabytes;
constexpr long OptionLimits::maxMegabytes;

namespace {

// The whole of `text` as a finite number; false for anything else ("nan",
// "inf", "1e999", "2x", "").
bool finiteNumber(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

// "0.001" rather than "1e-03": the limits as people write them.
std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", value);
    return text;
}

CLI::Validator rangeOption(double low, double high, bool eitherSign, const std::string& what) {
    const std::string range = eitherSign
                                  ? shortNumber(low) + " to " + shortNumber(high) + " (either sign)"
                                  : shortNumber(low) + " to " + shortNumber(high);
    const std::string message = "must be " + what + " from " + range;
    return CLI::Validator(
        [=](const std::string& text) {
            double value = 0.0;
            const bool finite = finiteNumber(text, value);
            const double size = eitherSign ? std::fabs(value) : value;
            return finite && size >= low && size <= high ? std::string() : message;
        },
        "[" + shortNumber(eitherSign ? -high : low) + ".." + shortNumber(high) + "]");
}

// Digits only (no sign, no spaces), as many as `high` has at most.
CLI::Validator wholeNumberOption(long low, long high, const std::string& what) {
    const std::string message =
        "must be " + what + " from " + std::to_string(low) + " to " + std::to_string(high);
    const std::size_t longest = std::to_string(high).size();
    return CLI::Validator(
        [=](const std::string& text) {
            const bool digits = !text.empty() && text.size() <= longest &&
                                text.find_first_not_of("0123456789") == std::string::npos;
            const long value = digits ? std::stol(text) : -1;
            return value >= low && value <= high ? std::string() : message;
        },
        "[" + std::to_string(low) + ".." + std::to_string(high) + "]");
}

} // namespace

CLI::Validator rateOption() {
    return rangeOption(OptionLimits::minRate, OptionLimits::maxRate, false, "a rate");
}

CLI::Validator frameCountOption() {
    return wholeNumberOption(0, OptionLimits::maxFrames, "a whole number");
}

CLI::Validator megabytesOption() {
    return wholeNumberOption(OptionLimits::minMegabytes, OptionLimits::maxMegabytes,
                             "a whole number of megabytes");
}

CLI::Validator secondsOption(bool negativeToo) {
    const std::string range = negativeToo ? "-" + shortNumber(OptionLimits::maxSeconds) : "0";
    const std::string message = "must be a number of seconds from " + range + " to " +
                                shortNumber(OptionLimits::maxSeconds);
    return CLI::Validator(
        [=](const std::string& text) {
            double value = 0.0;
            const bool valid = finiteNumber(text, value) &&
                               std::fabs(value) <= OptionLimits::maxSeconds &&
                               (negativeToo || value >= 0.0);
            return valid ? std::string() : message;
        },
        "[" + range + ".." + shortNumber(OptionLimits::maxSeconds) + "]");
}

CLI::Validator speedOption() {
    return rangeOption(OptionLimits::minSpeed, OptionLimits::maxSpeed, true, "a speed");
}

CLI::Validator worldSpelling() {
    CLI::Validator spelling(
        [](std::string& text) {
            for (char& c : text)
                c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return std::string();
        },
        "");
    return spelling;
}

long wholeFrames(double product) {
    if (!(product >= 0.0) || !std::isfinite(product) || product > 1e18)
        return -1;
    const double nearest = std::round(product);
    return static_cast<long>(std::fabs(product - nearest) <= 2.5e-7 * std::max(1.0, nearest)
                                 ? nearest
                                 : std::floor(product));
}

bool withinFrameLimit(const char* tool, const std::string& what, double count, const char* unit) {
    if (count <= static_cast<double>(OptionLimits::maxFrames))
        return true;
    std::cerr << tool << ": " << what << " gives "
              << (count < 1e12 ? std::to_string(static_cast<long long>(count)) : "too many") << ' '
              << unit << ", more than the limit of " << OptionLimits::maxFrames << '\n';
    return false;
}

} // namespace ktrt_tool
