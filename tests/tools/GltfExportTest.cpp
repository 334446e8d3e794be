#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <Inventor/SbLinear.h>
#include <Inventor/actions/SoGetMatrixAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/nodekits/SoBaseKit.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationInstance.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/world/KTWorldAnimations.h>

#include "gltf/ExportScene.h"
#include "GeneratedWorld.h"
#include "gltf/GltfModel.h"
#include "common/AnimationFile.h"
#include "common/PlaySession.h"
#include "common/TimedPlayback.h"
#include "gltf/PoseClip.h"

using namespace ktrt_tool;

namespace {

constexpr double fps = 24.0;

// Exports the session's animation as binary glTF and reads it back.
tinygltf::Model exportAndRead(PlaySession& session, int frames) {
    const ExportScene scene = collectExportScene(*session.component, session.parts);
    KTAnimationInstance instance(session.component, &session.animation);
    const PoseClip clip =
        samplePlayback(instance, session.animation, session.parts, scene.partNodes, frames, fps);
    const std::string bytes = serializeGltf(buildGltfModel(scene, {clip}), true);
    tinygltf::Model model;
    std::string error, warning;
    tinygltf::TinyGLTF reader;
    EXPECT_TRUE(reader.LoadBinaryFromMemory(&model, &error, &warning,
                                            reinterpret_cast<const unsigned char*>(bytes.data()),
                                            static_cast<unsigned int>(bytes.size())))
        << error;
    EXPECT_EQ(warning, "");
    return model;
}

std::vector<float> floatsOf(const tinygltf::Model& model, int index) {
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    const tinygltf::BufferView& view =
        model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
    const auto* data = reinterpret_cast<const float*>(
        model.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset +
        accessor.byteOffset);
    return std::vector<float>(data, data + view.byteLength / sizeof(float));
}

int nodeNamed(const tinygltf::Model& model, const std::string& name) {
    for (std::size_t n = 0; n < model.nodes.size(); ++n)
        if (model.nodes[n].name == name)
            return static_cast<int>(n);
    return -1;
}

// Where the glTF hierarchy puts the frame of a part's shapes, with the
// animated nodes at `poses` (node -> translation, rotation), as an Inventor
// matrix.
SbMatrix
gltfFrame(const tinygltf::Model& model, int node,
          const std::map<int, std::pair<std::vector<double>, std::vector<double>>>& poses) {
    std::map<int, int> parentOf;
    for (std::size_t n = 0; n < model.nodes.size(); ++n)
        for (int child : model.nodes[n].children)
            parentOf[child] = static_cast<int>(n);
    SbMatrix frame = SbMatrix::identity();
    for (int at = node; at >= 0; at = parentOf.count(at) ? parentOf[at] : -1) {
        const tinygltf::Node& source = model.nodes[static_cast<std::size_t>(at)];
        auto pose = poses.find(at);
        std::vector<double> t = source.translation, r = source.rotation;
        if (pose != poses.end()) {
            if (!pose->second.first.empty())
                t = pose->second.first;
            r = pose->second.second;
        }
        const std::vector<double>& s = source.scale;
        SbMatrix local;
        local.setTransform(t.empty() ? SbVec3f(0, 0, 0) : SbVec3f(t[0], t[1], t[2]),
                           r.empty()
                               ? SbRotation::identity()
                               : SbRotation(float(r[0]), float(r[1]), float(r[2]), float(r[3])),
                           s.empty() ? SbVec3f(1, 1, 1) : SbVec3f(s[0], s[1], s[2]));
        frame.multRight(local);
    }
    return frame;
}

// Where Coin puts the frame of a part's shapes (its "geometry" separator).
SbMatrix coinFrame(KTComponent& component, KTPart& part) {
    SoBaseKit::setSearchingChildren(TRUE);
    SoSearchAction search;
    search.setNode(part.getPart("geometry", TRUE));
    search.setSearchingAll(TRUE);
    search.apply(&component);
    SoGetMatrixAction matrix(SbViewportRegion(100, 100));
    matrix.apply(search.getPath());
    return matrix.getMatrix();
}

// Plays the animation afresh and checks, after every update(), that each
// channel's sample holds the fields of its part's transform to 1e-6, that the
// closing sample holds the last frame again, and (when `checkFrames`) that the
// node hierarchy puts each part's shapes where Coin does.
void expectSamplesAreWhatUpdateWrites(const tinygltf::Model& model, PlaySession& fresh, int frames,
                                      bool checkFrames) {
    ASSERT_EQ(model.animations.size(), 1u);
    const tinygltf::Animation& animation = model.animations[0];
    std::map<std::string, std::map<std::string, std::vector<float>>> channels;
    std::vector<float> times;
    for (const tinygltf::AnimationChannel& channel : animation.channels) {
        const tinygltf::AnimationSampler& sampler =
            animation.samplers[static_cast<std::size_t>(channel.sampler)];
        EXPECT_EQ(sampler.interpolation, "STEP");
        times = floatsOf(model, sampler.input);
        channels[model.nodes[static_cast<std::size_t>(channel.target_node)].name]
                [channel.target_path] = floatsOf(model, sampler.output);
    }
    ASSERT_EQ(times.size(), static_cast<std::size_t>(frames) + 1);
    KTAnimationInstance instance(fresh.component, &fresh.animation);
    for (int k = 0; k <= frames; ++k) {
        if (k < frames) // the closing sample k == frames repeats the last frame
            instance.update();
        EXPECT_EQ(times[static_cast<std::size_t>(k)], static_cast<float>(k / fps));
        std::map<int, std::pair<std::vector<double>, std::vector<double>>> poses;
        for (const AnimatedPart& part : fresh.parts) {
            SCOPED_TRACE(part.name + " at frame " + std::to_string(k));
            const bool positions = fresh.animation[part.track]->usePositions() != 0;
            ASSERT_EQ(channels[part.name].count("rotation"), 1u);
            ASSERT_EQ(channels[part.name].count("translation"), positions ? 1u : 0u);
            float q[4];
            part.transform->rotation.getValue().getValue(q[0], q[1], q[2], q[3]);
            const float* rotation =
                &channels[part.name]["rotation"][static_cast<std::size_t>(k) * 4];
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(rotation[c], q[c], 1e-6);
            auto& pose = poses[nodeNamed(model, part.name)];
            pose.second.assign(rotation, rotation + 4);
            if (positions) {
                const float* translation =
                    &channels[part.name]["translation"][static_cast<std::size_t>(k) * 3];
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(translation[c], part.transform->translation.getValue()[c], 1e-6);
                pose.first.assign(translation, translation + 3);
            }
        }
        if (!checkFrames)
            continue;
        for (const AnimatedPart& part : fresh.parts) {
            int node = nodeNamed(model, part.name + "_geometry");
            const SbMatrix expected = coinFrame(*fresh.component, *part.part);
            const SbMatrix exported =
                gltfFrame(model, node >= 0 ? node : nodeNamed(model, part.name), poses);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(exported[r][c], expected[r][c], 1e-5) << part.name;
        }
    }
}

} // namespace

TEST(GltfExport, EveryExamplePlaysWhatUpdateWritesAndPutsPartsWhereCoinDoes) {
    for (const char* name : {"chest", "door", "figure"}) {
        for (bool positions : {false, true}) {
            SCOPED_TRACE(std::string(name) + (positions ? " with positions" : ""));
            const std::string base = std::string(KTRT_SOURCE_DIR) + "/examples/" + name;
            const PlayInput input{base + ".iv", base + ".kta", "", positions};
            PlaySession exported, fresh;
            ASSERT_TRUE(openPlaySession("test", input, exported));
            ASSERT_TRUE(openPlaySession("test", input, fresh));
            const int frames = cycleLength(exported.animation);
            const tinygltf::Model model = exportAndRead(exported, frames);
            ASSERT_EQ(model.meshes.empty(), false);
            expectSamplesAreWhatUpdateWrites(model, fresh, frames, true);
        }
    }
}

TEST(GltfExport, HundredNestedPartsOverThousandFramesPlayWhatUpdateWrites) {
    PlaySession exported, fresh;
    generateWorld(exported, 100, 1000);
    generateWorld(fresh, 100, 1000);
    const tinygltf::Model model = exportAndRead(exported, 1000);
    EXPECT_GT(model.nodes.size(), 101u); // parts with a center get a geometry node
    expectSamplesAreWhatUpdateWrites(model, fresh, 1000, false);
}

// A host's mixer against the export of the same crossfade: A plays from 0, at
// T the host calls crossFadeTo(B, S) and drives the mixer on tick by tick to
// every sample time, reading the parts' transforms. The clip holds those, and
// the end of the fade is a sample of its own at B's full weight.
TEST(GltfExport, ACrossfadeHoldsWhatAHostsMixerWritesAndEndsAtTheEndOfTheFade) {
    const std::string examples = std::string(KTRT_SOURCE_DIR) + "/examples/";
    struct Case {
        const char* world;
        double keyRate; // what the world's playback node says, else 30
        double at, over, fps;
    };
    for (const Case& c :
         {Case{"figure.iv", 30, 1.0, 0.5, 30}, Case{"figure-layers.iv", 4, 0.3, 2, 4},
          Case{"figure.iv", 30, 0.5, 0, 10}}) {
        SCOPED_TRACE(std::string(c.world) + " at " + std::to_string(c.at));
        const PlayInput input{examples + c.world, examples + "figure.kta", "", true};
        TimedPlayback playback;
        ASSERT_TRUE(playback.openAnimation("test", input, true));
        ASSERT_TRUE(playback.addCrossfade("test", {examples + "wave.kta", c.at, c.over}, true));
        const ExportScene scene = collectExportScene(*playback.getComponent(), playback.getParts());
        const std::vector<double> times = playback.timesAt(c.fps, playback.getDefaultDuration());
        const PoseClip clip =
            samplePoses(playback, scene.partNodes, times, 1 / c.fps, PoseClip::Interpolation::Step);
        const auto end = std::find(times.begin(), times.end(), c.at + c.over);
        ASSERT_NE(end, times.end());
        const std::size_t last = static_cast<std::size_t>(end - times.begin());
        EXPECT_EQ(clip.fades[last], 1.0f);
        EXPECT_LT(clip.fades[last - 1], c.over > 0 ? 1.0f : 2.0f);

        PlaySession host;
        KTComponentAnimation wave;
        ASSERT_TRUE(openPlaySession("test", input, host, true));
        ASSERT_TRUE(loadAnimation("test", examples + "wave.kta", "host/wave", wave));
        KTWorldAnimations::usePositionKeys(wave);
        KTAnimationMixer mixer(host.component);
        KTAnimationAction* from = mixer.addAction(&host.animation);
        KTAnimationAction* to = mixer.addAction(&wave);
        KTAnimationClip::Timing timing;
        timing.keysPerSecond = c.keyRate;
        from->setTiming(timing);
        to->setTiming(timing);
        from->play();
        double now = 0.0;
        for (std::size_t k = 0; k < times.size(); ++k) {
            if (now < c.at && times[k] >= c.at) {
                mixer.advance(c.at - now);
                now = c.at;
                from->crossFadeTo(*to, c.over, 0);
            }
            mixer.advance(times[k] - now);
            now = times[k];
            for (const PoseTrack& track : clip.tracks) {
                const std::string& name = scene.nodes[static_cast<std::size_t>(track.node)].name;
                SCOPED_TRACE(name + " at " + std::to_string(now));
                KTPart* part = nullptr;
                SoTransform* transform = nullptr;
                ASSERT_TRUE(findPartTransform(*host.component, name, part, transform));
                const float* expected = transform->rotation.getValue().getValue();
                const float* exported = &track.rotations[k * 4];
                EXPECT_NEAR(std::fabs(expected[0] * exported[0] + expected[1] * exported[1] +
                                      expected[2] * exported[2] + expected[3] * exported[3]),
                            1.0, 1e-6);
                for (int i = 0; i < 3 && !track.translations.empty(); ++i)
                    EXPECT_NEAR(track.translations[k * 3 + static_cast<std::size_t>(i)],
                                transform->translation.getValue()[i], 1e-6);
            }
        }
    }
}
