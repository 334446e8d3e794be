#include "command/Commands.h"
#include "common/AnimationFile.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"
#include "import/ImportSampling.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <ktrt/keys/KTAnimationWriter.h>
#include <ktrt/keys/KTComponentAnimation.h>

namespace ktrt_tool {

namespace {

struct ImportOptions {
    std::string source;
    std::string output;
    std::string world;
    std::string animation;
    double fps = 30.0;
    bool list = false;
};

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", std::fabs(value) < 1e-30 ? 0.0 : value);
    return buffer;
}

// The Inventor world of an import: the scene's node tree inside one
// component, each animated node a logical part with its rest transform, the
// others plain separators with their matrix, meshes as indexed face sets.
class WorldWriter {
public:
    WorldWriter(const aiScene& scene, const std::map<std::string, std::string>& parts)
        : scene(scene), parts(parts) {}

    std::string write(const std::string& componentName) {
        text = "#Inventor V2.1 ascii\n\n# Imported by ktrt import.\nSeparator {\n"
               "  DirectionalLight { direction -0.4 -1 -0.6 }\n  DEF " +
               componentName + " KTComponent {\n    geometry Separator {\n";
        node(*scene.mRootNode, 3);
        text += "    }\n  }\n}\n";
        return text;
    }

private:
    void indent(int depth) { text.append(2 * static_cast<std::size_t>(depth), ' '); }

    void node(const aiNode& node, int depth) {
        const auto part = parts.find(node.mName.C_Str());
        const aiMatrix4x4& m = node.mTransformation;
        if (part != parts.end()) {
            aiVector3D scale, position;
            aiQuaternion rotation;
            m.Decompose(scale, rotation, position);
            const double sine = std::sqrt(rotation.x * rotation.x + rotation.y * rotation.y +
                                          rotation.z * rotation.z);
            const double angle = 2.0 * std::atan2(sine, static_cast<double>(rotation.w));
            const double axis[3] = {sine > 0 ? rotation.x / sine : 0.0,
                                    sine > 0 ? rotation.y / sine : 0.0,
                                    sine > 0 ? rotation.z / sine : 1.0};
            indent(depth);
            text += "DEF " + part->second + " KTPart {\n";
            indent(depth + 1);
            text += "transform Transform { translation " + number(position.x) + " " +
                    number(position.y) + " " + number(position.z) + " rotation " + number(axis[0]) +
                    " " + number(axis[1]) + " " + number(axis[2]) + " " + number(angle) +
                    " scaleFactor " + number(scale.x) + " " + number(scale.y) + " " +
                    number(scale.z) + " }\n";
            indent(depth + 1);
            text += "geometry Separator {\n";
            contents(node, depth + 2);
            indent(depth + 1);
            text += "}\n";
            indent(depth);
            text += "}\n";
            return;
        }
        indent(depth);
        text += "Separator {\n";
        if (!m.IsIdentity()) {
            // Inventor's matrices take row vectors: the transpose of assimp's.
            indent(depth + 1);
            text += "MatrixTransform { matrix";
            for (unsigned int c = 0; c < 4; ++c)
                for (unsigned int r = 0; r < 4; ++r)
                    text += " " + number(m[r][c]);
            text += " }\n";
        }
        contents(node, depth + 1);
        indent(depth);
        text += "}\n";
    }

    void contents(const aiNode& node, int depth) {
        for (unsigned int i = 0; i < node.mNumMeshes; ++i)
            mesh(*scene.mMeshes[node.mMeshes[i]], depth);
        for (unsigned int i = 0; i < node.mNumChildren; ++i)
            this->node(*node.mChildren[i], depth);
    }

    void mesh(const aiMesh& mesh, int depth) {
        aiColor4D diffuse(0.8f, 0.8f, 0.8f, 1.0f);
        if (mesh.mMaterialIndex < scene.mNumMaterials)
            aiGetMaterialColor(scene.mMaterials[mesh.mMaterialIndex], AI_MATKEY_COLOR_DIFFUSE,
                               &diffuse);
        indent(depth);
        text += "Separator {\n";
        indent(depth + 1);
        text += "Material { diffuseColor " + number(diffuse.r) + " " + number(diffuse.g) + " " +
                number(diffuse.b) + " }\n";
        indent(depth + 1);
        text += "Coordinate3 { point [";
        for (unsigned int v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D& p = mesh.mVertices[v];
            text += (v ? ", " : " ") + number(p.x) + " " + number(p.y) + " " + number(p.z);
        }
        text += " ] }\n";
        indent(depth + 1);
        text += "IndexedFaceSet { coordIndex [";
        bool first = true;
        for (unsigned int f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices < 3)
                continue; // points and lines have no face
            for (unsigned int i = 0; i < face.mNumIndices; ++i) {
                text += (first ? " " : ", ") + std::to_string(face.mIndices[i]);
                first = false;
            }
            text += ", -1";
        }
        text += " ] }\n";
        indent(depth);
        text += "}\n";
    }

    const aiScene& scene;
    const std::map<std::string, std::string>& parts;
    std::string text;
};

// "1 morph-target channel", "2 channels": a count and what it counts.
std::string counted(unsigned int count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// What an animation holds besides node channels, for --list and for the
// message that refuses an animation without any.
std::string otherChannels(const aiAnimation& animation) {
    std::string text;
    if (animation.mNumMorphMeshChannels > 0)
        text += ", " + counted(animation.mNumMorphMeshChannels, "morph-target channel");
    if (animation.mNumMeshChannels > 0)
        text += ", " + counted(animation.mNumMeshChannels, "mesh channel");
    return text;
}

void listAnimations(const aiScene& scene) {
    for (unsigned int i = 0; i < scene.mNumAnimations; ++i) {
        const aiAnimation& animation = *scene.mAnimations[i];
        std::printf(
            "%u: \"%s\", %.6g s, %s%s%s\n", i, animation.mName.C_Str(),
            animation.mDuration / ticksPerSecond(animation),
            counted(animation.mNumChannels, "channel").c_str(), otherChannels(animation).c_str(),
            animation.mTicksPerSecond > 0.0 ? "" : " (no ticks per second given: 25 assumed)");
    }
}

// A whole number chooses by index, anything else by name; the first when
// empty.
const aiAnimation* chooseAnimation(const aiScene& scene, const std::string& requested) {
    if (requested.empty())
        return scene.mNumAnimations > 0 ? scene.mAnimations[0] : nullptr;
    if (requested.find_first_not_of("0123456789") == std::string::npos) {
        const std::size_t digits = requested.find_first_not_of('0');
        const bool small = digits == std::string::npos || requested.size() - digits < 10;
        const unsigned long index = small ? std::stoul(requested) : scene.mNumAnimations;
        return index < scene.mNumAnimations ? scene.mAnimations[index] : nullptr;
    }
    for (unsigned int i = 0; i < scene.mNumAnimations; ++i)
        if (requested == scene.mAnimations[i]->mName.C_Str())
            return scene.mAnimations[i];
    return nullptr;
}

// assimp's reasons, on one line and without the placeholders some of its
// readers leave in them.
std::string cleanReason(std::string reason) {
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    for (std::size_t at; (at = reason.find("<add reason>")) != std::string::npos;)
        reason.erase(at, 12);
    while (!reason.empty() && (reason.back() == ' ' || reason.back() == ':'))
        reason.pop_back();
    return reason.empty() ? "assimp cannot read it" : reason;
}

// One name per animated node, fit for both files and unique. A node whose
// name is fit already keeps it; the others get theirs afterwards, with a
// number when the fitted name is taken, so the order of the channels does
// not matter.
std::vector<std::string> partNamesOf(const aiAnimation& animation) {
    std::vector<std::string> names(animation.mNumChannels);
    std::set<std::string> taken;
    for (unsigned int c = 0; c < animation.mNumChannels; ++c) {
        const std::string node = animation.mChannels[c]->mNodeName.C_Str();
        if (partNameOf(node) == node && taken.insert(node).second)
            names[c] = node;
    }
    std::string renamed;
    unsigned int renamedCount = 0;
    for (unsigned int c = 0; c < animation.mNumChannels; ++c) {
        if (!names[c].empty())
            continue;
        const std::string node = animation.mChannels[c]->mNodeName.C_Str();
        std::string name = partNameOf(node);
        for (int n = 2; taken.count(name); ++n)
            name = partNameOf(node) + "_" + std::to_string(n);
        if (++renamedCount <= 3)
            renamed += (renamedCount > 1 ? ", \"" : "\"") + escapeBytes(node) + "\" as " + name;
        taken.insert(name);
        names[c] = name;
    }
    if (renamedCount > 0)
        std::cerr << "ktrt: warning: " << renamedCount << " node name"
                  << (renamedCount == 1 ? "" : "s") << " changed to fit the files: " << renamed
                  << (renamedCount > 3 ? ", ..." : "") << '\n';
    return names;
}

int runImport(const ImportOptions& options) {
    const std::string source = escapeBytes(options.source);
    const std::string reason = unreadableReason(options.source);
    if (!reason.empty()) {
        std::cerr << "ktrt: cannot import " << source << ": " << reason << '\n';
        return 1;
    }
    if (!options.list && options.output.empty()) {
        std::cerr << "ktrt: import needs -o OUT.kta (or --list)\n";
        return 1;
    }
    std::vector<std::string> outputs{options.output};
    if (!options.world.empty())
        outputs.push_back(options.world);
    if (!options.list && !outputsAreDistinct("ktrt", {options.source}, outputs))
        return 1;
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(options.source, aiProcess_Triangulate | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode) {
        std::cerr << "ktrt: cannot import " << source << ": "
                  << cleanReason(importer.GetErrorString()) << '\n';
        return 1;
    }
    if (options.list) {
        listAnimations(*scene);
        return 0;
    }
    const aiAnimation* animation = chooseAnimation(*scene, options.animation);
    if (!animation) {
        if (options.animation.empty())
            std::cerr << "ktrt: cannot import " << source << ": it holds no animation\n";
        else
            std::cerr << "ktrt: " << source << " has no animation "
                      << (options.animation.find_first_not_of("0123456789") == std::string::npos
                              ? "number " + escapeBytes(options.animation)
                              : "\"" + escapeBytes(options.animation) + "\"")
                      << " (--list shows them)\n";
        return 1;
    }
    const unsigned int frames = frameCount(*animation, options.fps);
    char what[64];
    std::snprintf(what, sizeof what, "--fps %g", options.fps);
    if (!withinFrameLimit("ktrt", what, frames))
        return 2;

    const std::vector<std::string> partNames = partNamesOf(*animation);
    std::map<std::string, std::string> parts;
    for (unsigned int c = 0; c < animation->mNumChannels; ++c)
        parts.emplace(animation->mChannels[c]->mNodeName.C_Str(), partNames[c]);

    KTComponentAnimation result;
    std::vector<std::string> warnings;
    buildAnimation(*scene, *animation, partNames, options.fps, result, warnings);
    for (const std::string& warning : warnings)
        std::cerr << "ktrt: warning: " << warning << '\n';
    if (result.getNumPartAnimations() == 0) {
        const std::string others = otherChannels(*animation);
        std::cerr << "ktrt: cannot import " << source << ": its animation \""
                  << escapeBytes(animation->mName.C_Str()) << "\" turns or moves no node ("
                  << counted(animation->mNumChannels, "node channel") << others
                  << (others.empty() ? "" : ", which an animation file cannot hold") << ")\n";
        return 1;
    }

    std::string componentName = partNameOf(std::filesystem::path(options.source).stem().string());
    result.setComponentName(componentName.c_str());
    KTAnimationWriter writer;
    std::string text;
    if (!writer.write(result, text)) {
        std::cerr << "ktrt: " << writer.getErrorMessage().data() << '\n';
        return 1;
    }
    std::vector<OutputFile> files{{options.output, text}};
    if (!options.world.empty())
        files.push_back({options.world, WorldWriter(*scene, parts).write(componentName)});
    std::string failedPath;
    const std::string failure = writeOutputs(files, failedPath);
    if (!failure.empty()) {
        std::cerr << "ktrt: cannot write " << escapeBytes(failedPath) << ": " << failure << '\n';
        return 1;
    }
    std::printf("%s: %u track%s, %u frames at %g fps\n", options.output.c_str(),
                result.getNumPartAnimations(), result.getNumPartAnimations() == 1 ? "" : "s",
                frames, options.fps);
    return 0;
}

} // namespace

void registerImportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import", "Resample an animation of a glTF, FBX, BVH, Collada (or other assimp) file "
                  "into an animation file");
    command->footer(
        "Samples the animation at --fps from time 0 to its end inclusive, one track per node "
        "that turns or moves, named after the node (characters an animation file or an Inventor "
        "name cannot hold become '_'; a name taken already gets _2, _3, ...; a node whose name "
        "fits keeps it). An animation that does not say its ticks per second is timed at 25, "
        "as assimp's own tools do, and --list says so. An animation with no node channel (only "
        "morph targets, say) is refused. OUT and the world are written together or not at all, "
        "and must be neither SOURCE nor each other (exit status 1). More than 1000000 frames "
        "are refused with exit status 2.");
    command->add_option("SOURCE", options->source, "the file to import")->required();
    command->add_option("-o,--output", options->output, "the animation file to write (.kta)");
    command->add_option("--fps", options->fps, "samples per second, 0.001 to 10000 (default 30)")
        ->check(rateOption());
    command->add_option("--animation", options->animation,
                        "the animation to import: a whole number is its index (from 0, as --list "
                        "numbers them), anything else its name (default the first)");
    command->add_option("--world", options->world,
                        "also write an Inventor world (.iv) with the meshes and one part per "
                        "animated node");
    command->add_flag("--list", options->list,
                      "list the file's animations with duration and channel count");
    command->callback([options, &status] { status = runImport(*options); });
}

} // namespace ktrt_tool
