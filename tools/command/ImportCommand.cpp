#include "command/Commands.h"
#include "import/ImportSampling.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <ktrt/animation/KTAnimationWriter.h>
#include <ktrt/animation/KTComponentAnimation.h>

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

// Writes `text` to `path` through a temporary file beside it, renamed over
// it once complete; "" on success, else the system's reason.
std::string writeWhole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        return std::strerror(errno);
    std::FILE* file = ::fdopen(descriptor, "w");
    if (!file) {
        const int error = errno;
        ::close(descriptor);
        std::remove(temporary.c_str());
        return std::strerror(error);
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    std::error_code ignored;
    std::filesystem::permissions(
        temporary,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
            std::filesystem::perms::group_read | std::filesystem::perms::others_read,
        ignored);
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int reason = !written ? error : errno;
        std::remove(temporary.c_str());
        return std::strerror(reason ? reason : EIO);
    }
    return "";
}

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

// Collects what assimp reports as warnings and errors while it reads, so
// that a file it reads in spite of faults can still be refused with its
// reason.
class AssimpMessages : public Assimp::LogStream {
public:
    AssimpMessages() {
        Assimp::DefaultLogger::create(nullptr, Assimp::Logger::NORMAL, 0);
        Assimp::DefaultLogger::get()->attachStream(this,
                                                   Assimp::Logger::Warn | Assimp::Logger::Err);
    }
    ~AssimpMessages() override {
        Assimp::DefaultLogger::get()->detachStream(this,
                                                   Assimp::Logger::Warn | Assimp::Logger::Err);
        Assimp::DefaultLogger::kill();
    }
    AssimpMessages(const AssimpMessages&) = delete;
    AssimpMessages& operator=(const AssimpMessages&) = delete;

    void write(const char* message) override {
        std::string text = message;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        // "Warn,  T0: message": the message alone. Validation remarks on
        // data that assimp kept are no reasons to refuse a file.
        const std::size_t colon = text.find(": ");
        if (colon != std::string::npos)
            text.erase(0, colon + 2);
        if (first.empty() && text.rfind("Validation warning", 0) != 0)
            first = text;
    }

    std::string first;
};

void listAnimations(const aiScene& scene) {
    for (unsigned int i = 0; i < scene.mNumAnimations; ++i) {
        const aiAnimation& animation = *scene.mAnimations[i];
        std::printf("%u: \"%s\", %.6g s, %u channel%s\n", i, animation.mName.C_Str(),
                    animation.mDuration / ticksPerSecond(animation), animation.mNumChannels,
                    animation.mNumChannels == 1 ? "" : "s");
    }
}

// The animation named `requested`, or numbered so; the first when empty.
const aiAnimation* chooseAnimation(const aiScene& scene, const std::string& requested) {
    if (requested.empty())
        return scene.mNumAnimations > 0 ? scene.mAnimations[0] : nullptr;
    for (unsigned int i = 0; i < scene.mNumAnimations; ++i)
        if (requested == scene.mAnimations[i]->mName.C_Str())
            return scene.mAnimations[i];
    if (requested.find_first_not_of("0123456789") == std::string::npos && requested.size() < 9) {
        const auto index = static_cast<unsigned int>(std::stoul(requested));
        if (index < scene.mNumAnimations)
            return scene.mAnimations[index];
    }
    return nullptr;
}

int runImport(const ImportOptions& options) {
    if (!(options.fps > 0.0) || !std::isfinite(options.fps)) {
        std::cerr << "ktrt: --fps must be a positive number\n";
        return 1;
    }
    AssimpMessages messages;
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(options.source, aiProcess_Triangulate | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode) {
        std::string reason = importer.GetErrorString();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        std::cerr << "ktrt: cannot import " << options.source << ": " << reason << '\n';
        return 1;
    }
    if (options.list) {
        listAnimations(*scene);
        return 0;
    }
    if (options.output.empty()) {
        std::cerr << "ktrt: import needs -o OUT.kta (or --list)\n";
        return 1;
    }
    const aiAnimation* animation = chooseAnimation(*scene, options.animation);
    if (!animation) {
        if (options.animation.empty())
            std::cerr << "ktrt: cannot import " << options.source << ": it holds no animation"
                      << (messages.first.empty() ? "" : " (assimp: " + messages.first + ")")
                      << '\n';
        else
            std::cerr << "ktrt: " << options.source << " has no animation \"" << options.animation
                      << "\" (--list shows them)\n";
        return 1;
    }

    // One name per animated node, fit for both files and unique.
    std::vector<std::string> partNames(animation->mNumChannels);
    std::map<std::string, std::string> parts;
    std::set<std::string> taken;
    std::string renamed;
    unsigned int renamedCount = 0;
    for (unsigned int c = 0; c < animation->mNumChannels; ++c) {
        const std::string node = animation->mChannels[c]->mNodeName.C_Str();
        std::string name = partNameOf(node);
        for (int n = 2; taken.count(name); ++n)
            name = partNameOf(node) + "_" + std::to_string(n);
        if (name != node && ++renamedCount <= 3) {
            renamed += renamedCount > 1 ? ", \"" : "\"";
            renamed += node;
            renamed += "\" as ";
            renamed += name;
        }
        taken.insert(name);
        partNames[c] = name;
        parts.emplace(node, name);
    }
    if (renamedCount > 0)
        std::cerr << "ktrt: warning: " << renamedCount << " node name"
                  << (renamedCount == 1 ? "" : "s") << " changed to fit the files: " << renamed
                  << (renamedCount > 3 ? ", ..." : "") << '\n';

    KTComponentAnimation result;
    std::vector<std::string> warnings;
    buildAnimation(*scene, *animation, partNames, options.fps, result, warnings);
    for (const std::string& warning : warnings)
        std::cerr << "ktrt: warning: " << warning << '\n';

    std::string componentName = partNameOf(std::filesystem::path(options.source).stem().string());
    result.setComponentName(componentName.c_str());
    KTAnimationWriter writer;
    std::string text;
    if (!writer.write(result, text)) {
        std::cerr << "ktrt: " << writer.getErrorMessage().data() << '\n';
        return 1;
    }
    std::string world;
    if (!options.world.empty())
        world = WorldWriter(*scene, parts).write(componentName);

    std::string reason = writeWhole(options.output, text);
    if (!reason.empty()) {
        std::cerr << "ktrt: cannot write " << options.output << ": " << reason << '\n';
        return 1;
    }
    if (!options.world.empty()) {
        reason = writeWhole(options.world, world);
        if (!reason.empty()) {
            std::remove(options.output.c_str());
            std::cerr << "ktrt: cannot write " << options.world << ": " << reason << '\n';
            return 1;
        }
    }
    std::printf("%s: %u track%s, %u frames at %g fps\n", options.output.c_str(),
                result.getNumPartAnimations(), result.getNumPartAnimations() == 1 ? "" : "s",
                frameCount(*animation, options.fps), options.fps);
    return 0;
}

} // namespace

void registerImportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import", "Resample an animation of a glTF, FBX, BVH, Collada (or other assimp) file "
                  "into an animation file");
    command->add_option("SOURCE", options->source, "the file to import")->required();
    command->add_option("-o,--output", options->output, "the animation file to write (.kta)");
    command->add_option("--fps", options->fps, "samples per second (default 30)");
    command->add_option("--animation", options->animation,
                        "the animation to import, by name or index (default the first)");
    command->add_option("--world", options->world,
                        "also write an Inventor world (.iv) with the meshes and one part per "
                        "animated node");
    command->add_flag("--list", options->list,
                      "list the file's animations with duration and channel count");
    command->callback([options, &status] { status = runImport(*options); });
}

} // namespace ktrt_tool
