#include "common/WorldLayers.h"
#include "common/AnimationFile.h"
#include "common/CheckReport.h"
#include "common/SourceLine.h"

#include <cstdio>
#include <iostream>
#include <set>

#include <sys/stat.h>

#include <ktcp/KTComponentDB.h>
#include <ktrld/KTRegistryInfo.h>
#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>

namespace ktrt_tool {

namespace {

// The folder of `path` with its final slash; "" for a file in the current
// folder.
std::string folderOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

} // namespace

std::string animationBesideWorld(const std::string& worldPath, const std::string& name) {
    if (name.empty())
        return "";
    const std::string folder = name[0] == '/' ? "" : folderOf(worldPath);
    // Regular files only: the animation is read twice (checked, then
    // played), and a pipe would be empty, or wait for a writer, the second
    // time.
    for (const std::string& candidate : {folder + name, folder + name + ".kta"}) {
        struct stat status {};
        if (unreadableReason(candidate).empty() && stat(candidate.c_str(), &status) == 0 &&
            S_ISREG(status.st_mode))
            return candidate;
    }
    return "";
}

Issue missingAnimation(const std::string& worldPath, const PlaybackText& playback) {
    const std::string& name = playback.animation;
    const std::string beside = (!name.empty() && name[0] == '/' ? "" : folderOf(worldPath)) + name;
    return makeIssue(Finding::missingAnimation, playback.line, playback.column,
                     {escapeBytes(playback.component), escapeBytes(name), escapeBytes(beside)});
}

int registerWorldAnimations(const char* tool, KTComponentDB& world, const std::string& worldPath,
                            const std::vector<PlaybackText>& written) {
    KTAnimationPlayback::initClass();
    int named = 0;
    bool failed = false;
    std::set<std::string> read;
    for (KTAnimationPlayback* node : KTWorldAnimations::findPlaybackNodes(&world)) {
        const std::string name = node->animation.getValue().getString();
        if (name.empty())
            continue;
        ++named;
        if (!read.insert(name).second)
            continue;
        PlaybackText where;
        for (const PlaybackText& text : written) {
            if (text.animation == name) {
                where = text;
                break;
            }
        }
        // The node's place, shown before the reason (a node that a File node
        // includes has none in the world file).
        const auto placed = [&](const Issue& issue) {
            FileResult result;
            result.name = worldPath;
            result.issues.push_back(issue);
            printText(result, worldPath, true);
        };
        const std::string path = animationBesideWorld(worldPath, name);
        if (path.empty()) {
            where.animation = name;
            placed(missingAnimation(worldPath, where));
            failed = true;
            continue;
        }
        KTComponentAnimation animation;
        const auto unplayable = [&] {
            placed(Issue{Severity::error, "",
                         "component \"" + escapeBytes(where.component) + "\": animation \"" +
                             escapeBytes(name) + "\" (" + escapeBytes(path) + ") does not play:",
                         where.line, where.column});
        };
        if (!loadAnimation(tool, path, name, animation, nullptr, unplayable)) {
            failed = true;
            continue;
        }
        KTRegistryLoader::RegisterAnimation(name.c_str(), path.c_str());
    }
    return failed ? -1 : named;
}

std::vector<std::string> describeLayers(KTComponent& component) {
    std::vector<std::string> lines;
    for (KTAnimationPlayback* node : KTWorldAnimations::findPlaybackNodesOf(&component)) {
        const char* name = node->animation.getValue().getString();
        if (!*name)
            continue;
        KTRegistryInfo info;
        std::string line = KTRegistryLoader().GetAnimation(name, info)
                               ? static_cast<const char*>(info.GetLocalPath())
                               : name;
        line = escapeBytes(line);
        char weight[32];
        std::snprintf(weight, sizeof weight, ", weight %g, ", node->weight.getValue());
        line += weight;
        line += node->blend.getValue() == KTAnimationPlayback::ADDITIVE ? "ADDITIVE" : "REPLACE";
        if (node->parts.getNum() == 0)
            line += ", all parts";
        for (int p = 0; p < node->parts.getNum(); ++p)
            line += (p == 0 ? ", parts " : ", ") + escapeBytes(node->parts[p].getString());
        lines.push_back(line);
    }
    return lines;
}

} // namespace ktrt_tool
