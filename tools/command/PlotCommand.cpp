#include "command/Commands.h"
#include "common/AnimationFile.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <ktrt/animation/KTAnimationState.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace ktrt_tool {

namespace {

struct PlotOptions {
    std::string file;
    std::string output;
};

// Page geometry in SVG user units. Each track gets one panel: a title line,
// then the angle plot and the position plot side by side, each with its
// legend to the right of its frame.
constexpr double pageWidth = 1040;
constexpr double pageMargin = 20;
constexpr double headerHeight = 56;
constexpr double panelHeight = 300;
constexpr double panelTitleHeight = 34;
constexpr double plotWidth = 370;
constexpr double plotHeight = 200;
constexpr double plotLeftGap = 70; // room for the value tick labels and axis label
constexpr double legendWidth = 70;
constexpr double plotStride = plotLeftGap + plotWidth + legendWidth;
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

// Fixed-point text for coordinates: two decimals keep the file small and the
// output identical from run to run.
std::string number(double value, int decimals = 2) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::strcmp(text, "-0") == 0 || std::strspn(text, "-0.") == std::strlen(text))
        std::snprintf(text, sizeof text, "%.*f", decimals, 0.0);
    return text;
}

// Values for the data attributes: enough digits to give back the number.
std::string exactNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
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

Axis valueAxis(double minimum, double maximum) {
    if (!(maximum > minimum)) {
        // A flat curve still gets a readable band around its value.
        const double pad = std::max(1.0, std::fabs(minimum) * 0.1);
        minimum -= pad;
        maximum += pad;
    }
    Axis axis;
    axis.step = niceStep((maximum - minimum) / 5);
    axis.low = std::floor(minimum / axis.step + 1e-9) * axis.step;
    axis.high = std::ceil(maximum / axis.step - 1e-9) * axis.step;
    axis.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(axis.step) + 1e-9)));
    return axis;
}

Axis indexAxis(unsigned int keys) {
    Axis axis;
    axis.high = keys > 1 ? keys - 1 : 1;
    axis.step = std::max(1.0, niceStep(axis.high / 8));
    return axis;
}

struct Curve {
    std::string name;
    std::vector<double> values;
};

// Draws one plot with its frame at (left, top): grid, ticks, labels, the
// curves and a legend. The group carries its axis ranges as data attributes,
// so a reader of the file can map the points back to values.
void writePlot(std::ostream& svg, double left, double top, const std::string& title,
               const std::string& valueLabel, const std::string& kind, unsigned int keys,
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
    const Axis xAxis = indexAxis(keys);
    const Axis yAxis = valueAxis(minimum, maximum);
    auto xOf = [&](double index) {
        return left + (index - xAxis.low) / (xAxis.high - xAxis.low) * plotWidth;
    };
    auto yOf = [&](double value) {
        return top + plotHeight - (value - yAxis.low) / (yAxis.high - yAxis.low) * plotHeight;
    };

    svg << R"(<g class="plot" data-kind=")" << kind << "\" data-x-min=\"" << exactNumber(xAxis.low)
        << "\" data-x-max=\"" << exactNumber(xAxis.high) << "\" data-y-min=\""
        << exactNumber(yAxis.low) << "\" data-y-max=\"" << exactNumber(yAxis.high) << "\">\n";
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
            << R"(" text-anchor="middle">)" << number(index, 0) << "</text>\n";
    }
    svg << "</g>\n";

    // Frame and axis labels.
    svg << R"(<rect class="frame" x=")" << number(left) << "\" y=\"" << number(top) << "\" width=\""
        << number(plotWidth) << "\" height=\"" << number(plotHeight)
        << "\" fill=\"none\" stroke=\"#666\" stroke-width=\"1\"/>\n";
    svg << R"(<text font-size="12" x=")" << number(left + plotWidth / 2) << "\" y=\""
        << number(top + plotHeight + 34) << "\" text-anchor=\"middle\">key index</text>\n";
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
                points << (points.tellp() > 0 ? " " : "") << number(xOf(static_cast<double>(i)))
                       << ',' << number(yOf(curve.values[i]));
            }
            values << (i ? " " : "") << exactNumber(curve.values[i]);
        }
        svg << R"(<polyline class="curve" data-curve=")" << curve.name << "\" data-values=\""
            << values.str() << "\" points=\"" << points.str() << R"(" fill="none" stroke=")"
            << axisColors[axis] << "\" stroke-width=\"" << axisWidths[axis]
            << "\" stroke-dasharray=\"" << axisDashes[axis] << "\" stroke-linejoin=\"round\"/>\n";
        if (keys <= markerLimit) {
            svg << "<g fill=\"" << axisColors[axis] << "\">";
            for (std::size_t i = 0; i < curve.values.size(); ++i) {
                if (!std::isfinite(curve.values[i]))
                    continue;
                svg << "<circle cx=\"" << number(xOf(static_cast<double>(i))) << "\" cy=\""
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

// The whole chart: a header with the file name, then one panel per track.
void writeSvg(std::ostream& svg, const std::string& title, KTComponentAnimation& animation,
              const TrackFacts& facts) {
    const unsigned int tracks = animation.getNumPartAnimations();
    const double height = headerHeight + std::max(1u, tracks) * panelHeight + pageMargin;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << R"(<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width=")"
        << number(pageWidth, 0) << "\" height=\"" << number(height, 0) << "\" viewBox=\"0 0 "
        << number(pageWidth, 0) << ' ' << number(height, 0)
        << "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n";
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg << "<text x=\"" << number(pageMargin) << R"(" y="32" font-size="18" )"
        << "font-weight=\"bold\">" << escapeXml(title) << "</text>\n";
    svg << "<text x=\"" << number(pageWidth - pageMargin) << R"(" y="32" font-size="12" )"
        << R"(fill="#555" text-anchor="end">)" << tracks << (tracks == 1 ? " track" : " tracks")
        << "; angles in degrees against key index</text>\n";
    if (tracks == 0) {
        svg << "<text x=\"" << number(pageWidth / 2) << "\" y=\""
            << number(headerHeight + panelHeight / 2) << R"(" text-anchor="middle" )"
            << "fill=\"#999\">no tracks</text>\n";
    }

    // Panels in the order of the file, not of the animation's table.
    std::vector<unsigned int> panels(tracks);
    for (unsigned int t = 0; t < tracks; ++t)
        panels[t] = t;
    const auto placeInFile = [&](unsigned int t) {
        const std::string name = animation[t]->getPartName().std();
        return std::find(facts.fileOrder.begin(), facts.fileOrder.end(), name) -
               facts.fileOrder.begin();
    };
    std::stable_sort(panels.begin(), panels.end(), [&](unsigned int a, unsigned int b) {
        return placeInFile(a) < placeInFile(b);
    });

    for (unsigned int t = 0; t < tracks; ++t) {
        KTPartAnimation* track = animation[panels[t]];
        const unsigned int keys = track->getNumStates();
        // Channels the track does not have are left out, not drawn as zeros.
        const bool hasAngles = track->useOrientations() != 0;
        const bool hasPositions =
            facts.withPositions.count(track->getPartName().std()) > 0 || track->usePositions();
        Curve angles[3] = {{"angle-x", {}}, {"angle-y", {}}, {"angle-z", {}}};
        Curve positions[3] = {{"position-x", {}}, {"position-y", {}}, {"position-z", {}}};
        for (unsigned int k = 0; k < keys; ++k) {
            const KTAnimationState* state = (*track)[k];
            double angle[3];
            state->getOrientation().getValue(angle[0], angle[1], angle[2]);
            const KTVector3& position = state->getPosition();
            for (unsigned int axis = 0; axis < 3; ++axis) {
                if (hasAngles)
                    angles[axis].values.push_back(angle[axis]);
                if (hasPositions)
                    positions[axis].values.push_back(position[axis]);
            }
        }
        const double top = headerHeight + t * panelHeight;
        const std::string name = escapeXml(track->getPartName().data());
        svg << R"(<g class="track" data-track=")" << t << "\" data-part=\"" << name << "\">\n";
        svg << "<line x1=\"" << number(pageMargin) << "\" y1=\"" << number(top + 4) << "\" x2=\""
            << number(pageWidth - pageMargin) << "\" y2=\"" << number(top + 4)
            << "\" stroke=\"#bbb\" stroke-width=\"1\"/>\n";
        svg << R"(<text class="track-title" x=")" << number(pageMargin) << "\" y=\""
            << number(top + 24) << R"(" font-size="15" font-weight="bold">)" << name
            << R"(<tspan dx="10" font-size="12" font-weight="normal" fill="#555">)" << keys
            << (keys == 1 ? " key" : " keys") << "</tspan></text>\n";
        const double plotTop = top + panelTitleHeight + 26;
        const char* const noKeys = keys == 0 ? "no keys" : nullptr;
        writePlot(svg, pageMargin + plotLeftGap, plotTop, "Euler angles", "degrees", "angles", keys,
                  angles,
                  noKeys      ? noKeys
                  : hasAngles ? nullptr
                              : "no orientation keys");
        // Tracks read from a file keep their positions without playing them.
        const bool played = track->usePositions() != 0;
        writePlot(svg, pageMargin + plotStride + plotLeftGap, plotTop,
                  hasPositions && !played ? "Position (not played unless enabled)" : "Position",
                  "position", "positions", keys, positions,
                  noKeys         ? noKeys
                  : hasPositions ? nullptr
                                 : "no position keys");
        svg << "</g>\n";
    }
    svg << "</svg>\n";
}

// Names the keys whose angles or positions are not finite numbers (their
// points are left out of the plots).
void reportNonFiniteKeys(const std::string& path, KTComponentAnimation& animation) {
    for (unsigned int t = 0; t < animation.getNumPartAnimations(); ++t) {
        KTPartAnimation* track = animation[t];
        std::string keys;
        for (unsigned int k = 0; k < track->getNumStates(); ++k) {
            const KTAnimationState* state = (*track)[k];
            for (unsigned int axis = 0; axis < 3; ++axis) {
                if (!std::isfinite(state->getOrientation()[axis]) ||
                    !std::isfinite(state->getPosition()[axis])) {
                    keys += (keys.empty() ? "" : ", ") + std::to_string(k);
                    break;
                }
            }
        }
        if (!keys.empty()) {
            std::cerr << "ktrt plot: " << escapeBytes(path) << ": track \""
                      << escapeBytes(track->getPartName().std())
                      << "\": keys not finite, not drawn: " << keys << '\n';
        }
    }
}

int plotFile(const PlotOptions& options) {
    if (!outputsAreDistinct("ktrt plot", {options.file}, {options.output}))
        return 1;
    KTComponentAnimation animation;
    TrackFacts facts;
    if (!loadAnimation("ktrt plot", options.file, "ktrt-plot/" + options.file, animation, &facts))
        return 1;
    reportNonFiniteKeys(options.file, animation);
    std::ostringstream svg;
    const std::size_t slash = options.file.find_last_of('/');
    writeSvg(svg, slash == std::string::npos ? options.file : options.file.substr(slash + 1),
             animation, facts);
    if (options.output == "-") {
        std::cout << svg.str();
        return standardOutputWritten("ktrt plot") ? 0 : 1;
    }
    const std::string failure = writeFileAtomically(options.output, svg.str());
    if (!failure.empty()) {
        std::cerr << "ktrt plot: cannot write " << escapeBytes(options.output) << ": " << failure
                  << '\n';
        return 1;
    }
    return 0;
}

} // namespace

void registerPlotCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<PlotOptions>();
    CLI::App* plot = app.add_subcommand("plot", "Draw an animation's tracks as an SVG chart");
    plot->footer(
        "Each track gets a panel with two plots against the key index: its Euler angles "
        "in degrees and its positions, three curves (x, y, z) each. A file with an "
        "error gets FILE:LINE:COLUMN: error: MESSAGE and the offending line on standard "
        "error and exit status 1. An OUTPUT of - is standard output; OUTPUT must not be FILE (exit "
        "status 1), and an existing OUTPUT that is a pipe or a device is written in "
        "place.");
    plot->add_option("file", options->file, "Animation file to read")->required();
    plot->add_option("-o,--output", options->output, "SVG file to write (- for standard output)")
        ->required();
    plot->callback([options, &status]() { status = plotFile(*options); });
}

} // namespace ktrt_tool
