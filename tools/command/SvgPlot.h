#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

// The pieces of `ktrt plot`'s SVG chart: number formatting, XML text and one
// plot of three curves with its axes and legend.
namespace ktrt_tool {

// Page geometry in SVG user units. Each track gets one panel: a title line,
// then the angle plot and the position plot side by side, each with its
// legend to the right of its frame.
inline constexpr double pageWidth = 1040;
inline constexpr double pageMargin = 20;
inline constexpr double headerHeight = 56;
inline constexpr double panelHeight = 300;
inline constexpr double panelTitleHeight = 34;
inline constexpr double plotWidth = 370;
inline constexpr double plotHeight = 200;
inline constexpr double plotLeftGap = 70; // room for the value tick labels and axis label
inline constexpr double legendWidth = 70;
inline constexpr double plotStride = plotLeftGap + plotWidth + legendWidth;

/// One curve of a plot: its name (a data attribute) and one value per key.
struct Curve {
    std::string name;
    std::vector<double> values;
};

/// Where a track's keys sit on the horizontal axis: at their times (one per
/// key, never decreasing) when `times` holds them, else at their index.
struct KeyPlaces {
    std::size_t count = 0;
    std::vector<double> times;
};

/// Fixed-point text for coordinates: two decimals keep the file small and the
/// output identical from run to run.
std::string number(double value, int decimals = 2);

/// Text fit for an XML attribute or element: markup characters become
/// entities, and control characters and bytes that are not UTF-8 become '?'.
std::string escapeXml(const std::string& text);

/// Draws one plot with its frame at (left, top): grid, ticks, labels, the
/// curves against the key times or the key index (`keys`) and a legend;
/// `note` (or null) is written across an empty plot. The group carries its
/// axis ranges and which axis it is (data-x "time" or "index") as data
/// attributes, so a reader of the file can map the points back to values.
void writePlot(std::ostream& svg, double left, double top, const std::string& title,
               const std::string& valueLabel, const std::string& kind, const KeyPlaces& keys,
               const Curve (&curves)[3], const char* note);

} // namespace ktrt_tool
