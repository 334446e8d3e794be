#include "command/SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>

namespace ktrt_tool {

namespace {

// Beyond this many keys the points get no markers, only the line.
constexpr unsigned int markerLimit = 60;

const char* const axisNames[3] = {"x", "y", "z"};
const char* const axisColors[3] = {"#d62728", "#2ca02c", "#1f77b4"};
// Widths and marker radii shrink from x to z, so that curves lying on top of
// each other (often all three at zero) still show every colour.
const char* const axisWidths[3] = {"3.0", "2.0", "1.2"};
const char* const markerRadii[3] = {"3.4", "2.6", "1.8"};
// Solid, dashed and dotted: a curve lying on another still shows through.
const char* const axisDashes[3] = {"none", "7 4", "2 3"};

// Values for the data attributes: enough digits to give back the number.
std::string exactNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// One axis: its range and tick step, widened to whole steps around the data.
struct Axis {
    double low = 0;
    double high = 1;
    double step = 1;
    int decimals = 0;
};

// 1, 2 or 5 times a power of ten, the smallest not below `rough`.
double niceStep(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= rough * (1 - 1e-9))
            return factor * power;
    }
    return 10 * power;
}

// Covers [low, high] in about `parts` nice steps, widened to whole steps.
Axis spanAxis(double low, double high, int parts) {
    Axis axis;
    axis.step = niceStep((high - low) / parts);
    axis.low = std::floor(low / axis.step + 1e-9) * axis.step;
    axis.high = std::ceil(high / axis.step - 1e-9) * axis.step;
    axis.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(axis.step) + 1e-9)));
    return axis;
}

Axis valueAxis(double minimum, double maximum) {
    if (!(maximum > minimum)) {
        // A flat curve still gets a readable band around its value.
        const double pad = std::max(1.0, std::fabs(minimum) * 0.1);
        minimum -= pad;
        maximum += pad;
    }
    return spanAxis(minimum, maximum, 5);
}

Axis indexAxis(std::size_t keys) {
    Axis axis;
    axis.high = keys > 1 ? static_cast<double>(keys - 1) : 1.0;
    axis.step = std::max(1.0, niceStep(axis.high / 8));
    return axis;
}

// From 0 (or the first key, if earlier) to the last key, in whole steps.
Axis timeAxis(const std::vector<double>& times) {
    const double first = times.empty() ? 0.0 : std::min(0.0, times.front());
    const double last = times.empty() ? 1.0 : times.back();
    if (!(last > first))
        return indexAxis(0);
    return spanAxis(first, last, 8);
}

} // namespace

// Fixed-point text for coordinates: two decimals keep the file small and the
// output identical from run to run.
std::string number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::strcmp(text, "-0") == 0 || std::strspn(text, "-0.") == std::strlen(text))
        std::snprintf(text, sizeof text, "%.*f", decimals, 0.0);
    return text;
}

// Text fit for an XML attribute or element: markup characters become
// entities, and control characters and bytes that are not UTF-8 (neither of
// which XML allows) become '?'.
std::string escapeXml(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&apos;";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7f) {
            out += '?';
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const std::size_t length = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        bool valid = length != 0 && i + length <= text.size() && c < 0xf5;
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (!valid) {
            out += '?';
            continue;
        }
        out.append(text, i, length);
        i += length - 1;
    }
    return out;
}

// Draws one plot with its frame at (left, top): grid, ticks, labels, the
// curves and a legend. The group carries its axis ranges as data attributes,
// so a reader of the file can map the points back to values.
void writePlot(std::ostream& svg, double left, double top, const std::string& title,
               const std::string& valueLabel, const std::string& kind, const KeyPlaces& keys,
               const Curve (&curves)[3], const char* note) {
    double minimum = std::numeric_limits<double>::infinity();
    double maximum = -std::numeric_limits<double>::infinity();
    for (const Curve& curve : curves) {
        for (double value : curve.values) {
            if (std::isfinite(value)) {
                minimum = std::min(minimum, value);
                maximum = std::max(maximum, value);
            }
        }
    }
    if (!(minimum <= maximum))
        minimum = maximum = 0; // no keys, or none finite
    const bool timed = !keys.times.empty();
    const Axis xAxis = timed ? timeAxis(keys.times) : indexAxis(keys.count);
    const auto placeOf = [&](std::size_t key) {
        return timed ? keys.times[key] : static_cast<double>(key);
    };
    const Axis yAxis = valueAxis(minimum, maximum);
    auto xOf = [&](double index) {
        return left + (index - xAxis.low) / (xAxis.high - xAxis.low) * plotWidth;
    };
    auto yOf = [&](double value) {
        return top + plotHeight - (value - yAxis.low) / (yAxis.high - yAxis.low) * plotHeight;
    };

    svg << R"(<g class="plot" data-kind=")" << kind << "\" data-x=\"" << (timed ? "time" : "index")
        << "\" data-x-min=\"" << exactNumber(xAxis.low) << "\" data-x-max=\""
        << exactNumber(xAxis.high) << "\" data-y-min=\"" << exactNumber(yAxis.low)
        << "\" data-y-max=\"" << exactNumber(yAxis.high) << "\">\n";
    svg << R"(<text class="plot-title" x=")" << number(left + plotWidth / 2) << "\" y=\""
        << number(top - 8) << R"(" text-anchor="middle">)" << title << "</text>\n";

    // Grid lines and tick labels.
    svg << "<g class=\"grid\" stroke=\"#e0e0e0\" stroke-width=\"1\">\n";
    const int yTicks = static_cast<int>(std::lround((yAxis.high - yAxis.low) / yAxis.step));
    for (int i = 0; i <= yTicks; ++i) {
        const double y = yOf(yAxis.low + i * yAxis.step);
        svg << "<line x1=\"" << number(left) << "\" y1=\"" << number(y) << "\" x2=\""
            << number(left + plotWidth) << "\" y2=\"" << number(y) << "\"/>\n";
    }
    const int xTicks = static_cast<int>(std::floor((xAxis.high - xAxis.low) / xAxis.step + 1e-9));
    for (int i = 0; i <= xTicks; ++i) {
        const double x = xOf(xAxis.low + i * xAxis.step);
        svg << "<line x1=\"" << number(x) << "\" y1=\"" << number(top) << "\" x2=\"" << number(x)
            << "\" y2=\"" << number(top + plotHeight) << "\"/>\n";
    }
    svg << "</g>\n<g class=\"ticks\" font-size=\"11\" fill=\"#333\">\n";
    for (int i = 0; i <= yTicks; ++i) {
        const double value = yAxis.low + i * yAxis.step;
        svg << "<text x=\"" << number(left - 6) << "\" y=\"" << number(yOf(value) + 4)
            << R"(" text-anchor="end">)" << number(value, yAxis.decimals) << "</text>\n";
    }
    for (int i = 0; i <= xTicks; ++i) {
        const double index = xAxis.low + i * xAxis.step;
        svg << "<text x=\"" << number(xOf(index)) << "\" y=\"" << number(top + plotHeight + 16)
            << R"(" text-anchor="middle">)" << number(index, xAxis.decimals) << "</text>\n";
    }
    svg << "</g>\n";

    // Frame and axis labels.
    svg << R"(<rect class="frame" x=")" << number(left) << "\" y=\"" << number(top) << "\" width=\""
        << number(plotWidth) << "\" height=\"" << number(plotHeight)
        << "\" fill=\"none\" stroke=\"#666\" stroke-width=\"1\"/>\n";
    svg << R"(<text font-size="12" x=")" << number(left + plotWidth / 2) << "\" y=\""
        << number(top + plotHeight + 34) << R"(" text-anchor="middle">)"
        << (timed ? "key time (Key)" : "key index") << "</text>\n";
    const double labelX = left - plotLeftGap + 16;
    const double labelY = top + plotHeight / 2;
    svg << R"(<text font-size="12" x=")" << number(labelX) << "\" y=\"" << number(labelY)
        << R"(" text-anchor="middle" transform="rotate(-90 )" << number(labelX) << ' '
        << number(labelY) << ")\">" << valueLabel << "</text>\n";

    if (note) {
        svg << R"(<text class="note" font-size="12" fill="#777" x=")"
            << number(left + plotWidth / 2) << "\" y=\"" << number(top + plotHeight / 2)
            << R"(" text-anchor="middle">)" << note << "</text>\n";
    }

    // The curves, each with the values it draws.
    for (int axis = 0; axis < 3; ++axis) {
        const Curve& curve = curves[axis];
        if (curve.values.empty())
            continue;
        std::ostringstream points;
        std::ostringstream values;
        // Only finite values become points; the line joins the points around
        // a gap.
        for (std::size_t i = 0; i < curve.values.size(); ++i) {
            if (std::isfinite(curve.values[i])) {
                points << (points.tellp() > 0 ? " " : "") << number(xOf(placeOf(i))) << ','
                       << number(yOf(curve.values[i]));
            }
            values << (i ? " " : "") << exactNumber(curve.values[i]);
        }
        svg << R"(<polyline class="curve" data-curve=")" << curve.name << "\" data-values=\""
            << values.str() << "\" points=\"" << points.str() << R"(" fill="none" stroke=")"
            << axisColors[axis] << "\" stroke-width=\"" << axisWidths[axis]
            << "\" stroke-dasharray=\"" << axisDashes[axis] << "\" stroke-linejoin=\"round\"/>\n";
        if (keys.count <= markerLimit) {
            svg << "<g fill=\"" << axisColors[axis] << "\">";
            for (std::size_t i = 0; i < curve.values.size(); ++i) {
                if (!std::isfinite(curve.values[i]))
                    continue;
                svg << "<circle cx=\"" << number(xOf(placeOf(i))) << "\" cy=\""
                    << number(yOf(curve.values[i])) << "\" r=\"" << markerRadii[axis] << "\"/>";
            }
            svg << "</g>\n";
        }
    }

    // Legend, to the right of the frame.
    svg << "<g class=\"legend\" font-size=\"12\">\n";
    for (int axis = 0; axis < 3; ++axis) {
        const double y = top + 14 + axis * 20;
        svg << "<line x1=\"" << number(left + plotWidth + 12) << "\" y1=\"" << number(y)
            << "\" x2=\"" << number(left + plotWidth + 34) << "\" y2=\"" << number(y)
            << "\" stroke=\"" << axisColors[axis] << "\" stroke-width=\"" << axisWidths[axis]
            << "\" stroke-dasharray=\"" << axisDashes[axis] << "\"/>\n";
        svg << "<text x=\"" << number(left + plotWidth + 40) << "\" y=\"" << number(y + 4) << "\">"
            << axisNames[axis] << "</text>\n";
    }
    svg << "</g>\n</g>\n";
}

} // namespace ktrt_tool
