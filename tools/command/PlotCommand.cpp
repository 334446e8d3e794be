#include "command/Commands.h"
#include "common/AnimationFile.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"
#include "command/SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

namespace ktrt_tool {

namespace {

struct PlotOptions {
    std::string file;
    std::string output;
};

// A track's keys at the times its file's Key list gives them, when they are
// finite and never decrease (as playback takes them), else at their index.
KeyPlaces placesOf(const KTPartAnimation& track) {
    KeyPlaces places;
    places.count = track.getNumStates();
    const std::vector<float>& fractions = track.getKeyFractions();
    if (fractions.size() != places.count)
        return places;
    for (std::size_t k = 0; k < fractions.size(); ++k)
        if (!std::isfinite(fractions[k]) || (k > 0 && fractions[k] < fractions[k - 1]))
            return places;
    places.times.assign(fractions.begin(), fractions.end());
    return places;
}

// What the horizontal axes of the chart show, for its header.
const char* horizontalAxes(KTComponentAnimation& animation) {
    bool timed = false, indexed = false;
    for (unsigned int t = 0; t < animation.getNumPartAnimations(); ++t) {
        if (animation[t]->getNumStates() == 0)
            continue;
        const bool hasTimes = !placesOf(*animation[t]).times.empty();
        timed = timed || hasTimes;
        indexed = indexed || !hasTimes;
    }
    return !indexed ? "key time (the file's Key values)"
           : timed  ? "key time where the file gives it, else key index"
                    : "key index";
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
        << "; angles in degrees against " << horizontalAxes(animation) << "</text>\n";
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
        const KeyPlaces places = placesOf(*track);
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
        writePlot(svg, pageMargin + plotLeftGap, plotTop, "Euler angles", "degrees", "angles",
                  places, angles,
                  noKeys      ? noKeys
                  : hasAngles ? nullptr
                              : "no orientation keys");
        // Tracks read from a file keep their positions without playing them.
        const bool played = track->usePositions() != 0;
        writePlot(svg, pageMargin + plotStride + plotLeftGap, plotTop,
                  hasPositions && !played ? "Position (not played unless enabled)" : "Position",
                  "position", "positions", places, positions,
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
        "Each track gets a panel with two plots against the key time (the file's Key values; "
        "the key index where they are missing or decrease): its Euler angles "
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
