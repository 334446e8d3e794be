#include "command/Commands.h"
#include "common/AnimationFile.h"
#include "common/Findings.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"
#include "import/ImportSampling.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <ktrt/keys/KTAnimationWriter.h>
#include <ktrt/keys/KTComponentAnimation.h>

namespace ktrt_tool {

namespace {

// Megabytes that reading and converting a file may take by default: far
// more than the models an animation comes from, far less than a header that
// claims billions of vertices asks for.
constexpr unsigned long defaultMaxMemory = 4096;

struct ImportOptions {
    std::string source;
    std::string output;
    std::string world;
    std::string animation;
    double fps = 30.0;
    unsigned long maxMemory = defaultMaxMemory;
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

// Bounds the address space the process may take to `megabytes` beyond what
// it holds now, so that a file whose header asks for more fails its
// allocation (std::bad_alloc) at once instead of taking the machine's memory.
// A tighter limit set from outside stays. "" or why the limit cannot be set.
std::string limitMemory(unsigned long megabytes) {
    unsigned long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return std::strerror(errno);
    rlim_t wanted = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                    (static_cast<rlim_t>(megabytes) << 20);
    if (limit.rlim_max != RLIM_INFINITY)
        wanted = std::min(wanted, limit.rlim_max);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= wanted)
        return "";
    limit.rlim_cur = wanted;
    return setrlimit(RLIMIT_AS, &limit) == 0 ? std::string() : std::strerror(errno);
}

// Whether assimp gave up because an allocation failed.
bool outOfMemory(const Assimp::Importer& importer) {
    try {
        if (importer.GetException())
            std::rethrow_exception(importer.GetException());
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
    }
    return false;
}

// The node tree without missing children and without a node met twice (a
// loop would never end); "" or what is wrong.
std::string nodeTreeFault(const aiNode& root) {
    std::set<const aiNode*> seen{&root};
    std::vector<const aiNode*> open{&root};
    while (!open.empty()) {
        const aiNode& node = *open.back();
        open.pop_back();
        if (node.mNumChildren > 0 && !node.mChildren)
            return "node \"" + escapeBytes(node.mName.C_Str()) + "\" lacks its children";
        for (unsigned int i = 0; i < node.mNumChildren; ++i) {
            const aiNode* child = node.mChildren[i];
            if (!child)
                return "node \"" + escapeBytes(node.mName.C_Str()) + "\" lacks a child";
            if (!seen.insert(child).second)
                return "node \"" + escapeBytes(child->mName.C_Str()) +
                       "\" appears twice in the node tree";
            open.push_back(child);
        }
    }
    return "";
}

bool finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool finite(const aiQuaternion& q) {
    return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
}

template <class Key> bool finiteKeys(const Key* keys, unsigned int count) {
    for (unsigned int k = 0; k < count; ++k)
        if (!std::isfinite(keys[k].mTime) || !finite(keys[k].mValue))
            return false;
    return true;
}

// What the import reads of `animation`: its channels and their rotation,
// position and scale keys, all there and finite. "" or what is wrong.
std::string animationFault(const aiAnimation& animation) {
    if (animation.mNumChannels > 0 && !animation.mChannels)
        return "its animation lacks its channels";
    for (unsigned int c = 0; c < animation.mNumChannels; ++c) {
        const aiNodeAnim* channel = animation.mChannels[c];
        if (!channel)
            return "its animation lacks channel " + std::to_string(c);
        const std::string node = "node \"" + escapeBytes(channel->mNodeName.C_Str()) + "\"";
        if ((channel->mNumRotationKeys > 0 && !channel->mRotationKeys) ||
            (channel->mNumPositionKeys > 0 && !channel->mPositionKeys) ||
            (channel->mNumScalingKeys > 0 && !channel->mScalingKeys))
            return "the channel of " + node + " lacks its keys";
        if (!finiteKeys(channel->mRotationKeys, channel->mNumRotationKeys) ||
            !finiteKeys(channel->mPositionKeys, channel->mNumPositionKeys) ||
            !finiteKeys(channel->mScalingKeys, channel->mNumScalingKeys))
            return "the channel of " + node + " has a key that is not a finite number";
    }
    return "";
}

// What the world reads of the meshes that nodes hold: every mesh there, its
// vertices there and every face's indices among them. "" or what is wrong.
std::string meshFault(const aiScene& scene, const aiNode& node) {
    if (node.mNumMeshes > 0 && !node.mMeshes)
        return "node \"" + escapeBytes(node.mName.C_Str()) + "\" lacks its meshes";
    for (unsigned int i = 0; i < node.mNumMeshes; ++i) {
        const unsigned int index = node.mMeshes[i];
        const aiMesh* mesh =
            index < scene.mNumMeshes && scene.mMeshes ? scene.mMeshes[index] : nullptr;
        const std::string which = "mesh " + std::to_string(index);
        if (!mesh)
            return "node \"" + escapeBytes(node.mName.C_Str()) + "\" names a missing " + which;
        if ((mesh->mNumVertices > 0 && !mesh->mVertices) || (mesh->mNumFaces > 0 && !mesh->mFaces))
            return which + " lacks its vertices or faces";
        for (unsigned int f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices > 0 && !face.mIndices)
                return which + " lacks the indices of face " + std::to_string(f);
            for (unsigned int v = 0; v < face.mNumIndices; ++v)
                if (face.mIndices[v] >= mesh->mNumVertices)
                    return which + ": face " + std::to_string(f) + " names a missing vertex";
        }
    }
    for (unsigned int i = 0; i < node.mNumChildren; ++i) {
        std::string fault = meshFault(scene, *node.mChildren[i]);
        if (!fault.empty())
            return fault;
    }
    return "";
}

// What an animation holds besides node channels, for --list and for the
// message that refuses an animation without any.
std::string otherChannels(const aiAnimation& animation) {
    std::string text;
    if (animation.mNumMorphMeshChannels > 0)
        text += ", " + plural(animation.mNumMorphMeshChannels, "morph-target channel");
    if (animation.mNumMeshChannels > 0)
        text += ", " + plural(animation.mNumMeshChannels, "mesh channel");
    return text;
}

void listAnimations(const aiScene& scene) {
    for (unsigned int i = 0; i < scene.mNumAnimations; ++i) {
        const aiAnimation& animation = *scene.mAnimations[i];
        std::printf(
            "%u: \"%s\", %.6g s, %s%s%s\n", i, animation.mName.C_Str(),
            animation.mDuration / ticksPerSecond(animation),
            plural(animation.mNumChannels, "channel").c_str(), otherChannels(animation).c_str(),
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

// Reads, checks and converts once the memory ceiling is in place; an
// allocation that fails on the way throws std::bad_alloc.
int importWithin(const ImportOptions& options, const std::string& source) {
    // No whole-scene validation: what the import does not read (a camera, a
    // light, another animation) cannot refuse the file; what it reads is
    // checked below.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(options.source, 0);
    if (!scene && outOfMemory(importer))
        throw std::bad_alloc();
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
    std::string fault = nodeTreeFault(*scene->mRootNode);
    if (fault.empty())
        fault = animationFault(*animation);
    if (fault.empty() && !options.world.empty())
        fault = meshFault(*scene, *scene->mRootNode);
    if (!fault.empty()) {
        std::cerr << "ktrt: cannot import " << source << ": " << fault << '\n';
        return 1;
    }
    if (!options.world.empty()) {
        scene = importer.ApplyPostProcessing(aiProcess_Triangulate);
        if (!scene) {
            if (outOfMemory(importer))
                throw std::bad_alloc();
            std::cerr << "ktrt: cannot import " << source << ": "
                      << cleanReason(importer.GetErrorString()) << '\n';
            return 1;
        }
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
                  << plural(animation->mNumChannels, "node channel") << others
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
    std::printf("%s: %s, %s at %g fps\n", options.output.c_str(),
                plural(result.getNumPartAnimations(), "track").c_str(),
                plural(frames, "frame").c_str(), options.fps);
    return 0;
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
    const std::string refused = limitMemory(options.maxMemory);
    if (!refused.empty()) {
        std::cerr << "ktrt: cannot set the memory ceiling: " << refused << '\n';
        return 1;
    }
    try {
        return importWithin(options, source);
    } catch (const std::bad_alloc&) {
        std::cerr << "ktrt: cannot import " << source << ": it needs more than the "
                  << options.maxMemory << " MB of memory that --max-memory allows\n";
        return 1;
    }
}

} // namespace

void registerImportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command =
        app.add_subcommand("import", "Resample a glTF, FBX, BVH (any assimp) animation");
    command->footer(
        "Samples the animation at --fps from time 0 to its end inclusive, one track per node "
        "that turns or moves, named after the node (characters an animation file or an Inventor "
        "name cannot hold become '_'; a name taken already gets _2, _3, ...; a node whose name "
        "fits keeps it). An animation that does not say its ticks per second is timed at 25, "
        "as assimp's own tools do, and --list says so. An animation with no node channel (only "
        "morph targets, say) is refused. OUT and the world are written together or not at all, "
        "and must be neither SOURCE nor each other (exit status 1). More than 1000000 frames "
        "are refused with exit status 2. Reading and converting SOURCE may take --max-memory "
        "megabytes beyond what ktrt holds before; a file that needs more is refused with exit "
        "status 1. Only what the import reads is checked: the animation's channels and keys, "
        "the node tree and, with --world, the meshes the nodes hold.");
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
    command
        ->add_option("--max-memory", options->maxMemory,
                     "megabytes of memory that reading and converting SOURCE may take, 16 to "
                     "1048576 (default " +
                         std::to_string(defaultMaxMemory) + ")")
        ->check(megabytesOption());
    command->add_flag("--list", options->list,
                      "list the file's animations with duration and channel count");
    command->callback([options, &status] { status = runImport(*options); });
}

} // namespace ktrt_tool
