#include "gltf/GltfModel.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <sstream>

namespace ktrt_tool {

namespace {

class ModelBuilder {
public:
    explicit ModelBuilder(tinygltf::Model& target) : model(target) { model.buffers.emplace_back(); }

    // Appends `count` elements of `width` floats and returns the accessor.
    int addFloats(const std::vector<float>& values, int width, int type, bool bounds, int target) {
        std::vector<unsigned char>& data = model.buffers[0].data;
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = values.size() * sizeof(float);
        view.target = target;
        data.resize(data.size() + view.byteLength);
        if (!values.empty())
            std::memcpy(data.data() + view.byteOffset, values.data(), view.byteLength);
        model.bufferViews.push_back(view);

        tinygltf::Accessor accessor;
        accessor.bufferView = static_cast<int>(model.bufferViews.size()) - 1;
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.count = values.size() / static_cast<std::size_t>(width);
        accessor.type = type;
        if (bounds) {
            accessor.minValues.assign(width, std::numeric_limits<double>::max());
            accessor.maxValues.assign(width, std::numeric_limits<double>::lowest());
            for (std::size_t i = 0; i < values.size(); ++i) {
                const std::size_t c = i % static_cast<std::size_t>(width);
                accessor.minValues[c] = std::min<double>(accessor.minValues[c], values[i]);
                accessor.maxValues[c] = std::max<double>(accessor.maxValues[c], values[i]);
            }
        }
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size()) - 1;
    }

    int material(const std::array<float, 4>& color) {
        auto [at, added] = materials.try_emplace(color, static_cast<int>(model.materials.size()));
        if (added) {
            tinygltf::Material material;
            material.name = "color " + std::to_string(at->second);
            material.pbrMetallicRoughness.baseColorFactor.assign(color.begin(), color.end());
            material.pbrMetallicRoughness.metallicFactor = 0.0;
            material.pbrMetallicRoughness.roughnessFactor = 1.0;
            material.doubleSided = true;
            if (color[3] < 1.0f)
                material.alphaMode = "BLEND";
            model.materials.push_back(material);
        }
        return at->second;
    }

private:
    tinygltf::Model& model;
    std::map<std::array<float, 4>, int> materials;
};

template <std::size_t N> bool isDefault(const std::array<double, N>& values, double fill) {
    return std::all_of(values.begin(), values.end(), [fill](double v) { return v == fill; });
}

} // namespace

tinygltf::Model buildGltfModel(const ExportScene& scene, const std::vector<PoseClip>& clips) {
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "ktrt export";
    ModelBuilder builder(model);

    tinygltf::Scene root;
    for (std::size_t n = 0; n < scene.nodes.size(); ++n) {
        const ExportNode& source = scene.nodes[n];
        tinygltf::Node node;
        node.name = source.name;
        if (!source.matrix.empty()) {
            node.matrix = source.matrix;
        } else {
            if (!isDefault(source.translation, 0.0))
                node.translation.assign(source.translation.begin(), source.translation.end());
            if (source.rotation[0] != 0.0 || source.rotation[1] != 0.0 || source.rotation[2] != 0.0)
                node.rotation.assign(source.rotation.begin(), source.rotation.end());
            if (!isDefault(source.scale, 1.0))
                node.scale.assign(source.scale.begin(), source.scale.end());
        }
        if (!source.primitives.empty()) {
            tinygltf::Mesh mesh;
            mesh.name = source.name;
            for (const ExportPrimitive& triangles : source.primitives) {
                tinygltf::Primitive primitive;
                primitive.mode = TINYGLTF_MODE_TRIANGLES;
                primitive.attributes["POSITION"] = builder.addFloats(
                    triangles.positions, 3, TINYGLTF_TYPE_VEC3, true, TINYGLTF_TARGET_ARRAY_BUFFER);
                primitive.attributes["NORMAL"] = builder.addFloats(
                    triangles.normals, 3, TINYGLTF_TYPE_VEC3, false, TINYGLTF_TARGET_ARRAY_BUFFER);
                primitive.material = builder.material(triangles.color);
                mesh.primitives.push_back(primitive);
            }
            model.meshes.push_back(mesh);
            node.mesh = static_cast<int>(model.meshes.size()) - 1;
        }
        model.nodes.push_back(node);
        if (source.parent < 0)
            root.nodes.push_back(static_cast<int>(n));
        else
            model.nodes[static_cast<std::size_t>(source.parent)].children.push_back(
                static_cast<int>(n));
    }
    model.scenes.push_back(root);
    model.defaultScene = 0;

    for (const PoseClip& clip : clips) {
        tinygltf::Animation animation;
        animation.name = clip.name;
        const int input = builder.addFloats(clip.times, 1, TINYGLTF_TYPE_SCALAR, true, 0);
        const char* interpolation =
            clip.interpolation == PoseClip::Interpolation::Step ? "STEP" : "LINEAR";
        auto addChannel = [&](int node, const std::vector<float>& values, int width, int type,
                              const char* path) {
            tinygltf::AnimationSampler sampler;
            sampler.input = input;
            sampler.output = builder.addFloats(values, width, type, false, 0);
            sampler.interpolation = interpolation;
            animation.samplers.push_back(sampler);
            tinygltf::AnimationChannel channel;
            channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
            channel.target_node = node;
            channel.target_path = path;
            animation.channels.push_back(channel);
        };
        for (const PoseTrack& track : clip.tracks) {
            if (!track.rotations.empty())
                addChannel(track.node, track.rotations, 4, TINYGLTF_TYPE_VEC4, "rotation");
            if (!track.translations.empty())
                addChannel(track.node, track.translations, 3, TINYGLTF_TYPE_VEC3, "translation");
        }
        if (!clip.fades.empty()) {
            // The crossfade's weight of B at each sample, for the preview.
            tinygltf::Value::Array fades;
            for (float fade : clip.fades)
                fades.emplace_back(static_cast<double>(fade));
            tinygltf::Value::Object extras;
            extras["ktrtFade"] = tinygltf::Value(fades);
            extras["ktrtFadeStart"] = tinygltf::Value(clip.fadeStart);
            extras["ktrtFadeEnd"] = tinygltf::Value(clip.fadeEnd);
            animation.extras = tinygltf::Value(extras);
        }
        model.animations.push_back(animation);
    }
    model.buffers[0].name = "ktrt";
    return model;
}

std::string serializeGltf(const tinygltf::Model& model, bool binary) {
    tinygltf::TinyGLTF writer;
    std::ostringstream stream;
    if (!writer.WriteGltfSceneToStream(&model, stream, !binary, binary))
        return std::string();
    return stream.str();
}

} // namespace ktrt_tool
