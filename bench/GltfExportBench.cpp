// Cost of exporting a played animation as binary glTF (100 parts x 10,000
// frames): the whole export (collecting the shapes, sampling every frame
// after update(), building and serialising the model with tinygltf) against
// its floor, the same update() calls plus tinygltf serialising the same model.
#include <sstream>
#include <string>

#include <ktrt/playback/KTAnimationInstance.h>

#include <benchmark/benchmark.h>

#include "gltf/ExportScene.h"
#include "GeneratedWorld.h"
#include "gltf/GltfModel.h"
#include "common/PlaySession.h"
#include "gltf/PoseClip.h"

namespace {

constexpr int partCount = 100;
constexpr int frames = 10000;

ktrt_tool::PlaySession& session() {
    static ktrt_tool::PlaySession* generated = [] {
        auto* made = new ktrt_tool::PlaySession;
        generateWorld(*made, partCount, frames);
        return made;
    }();
    return *generated;
}

tinygltf::Model exportModel(ktrt_tool::PlaySession& played) {
    const ktrt_tool::ExportScene scene =
        ktrt_tool::collectExportScene(*played.component, played.parts);
    KTAnimationInstance instance(played.component, &played.animation);
    const ktrt_tool::PoseClip clip = ktrt_tool::samplePlayback(
        instance, played.animation, played.parts, scene.partNodes, frames, 30.0);
    // Both runs start from the rest pose, so that they write the same bytes.
    instance.resetState();
    return ktrt_tool::buildGltfModel(scene, {clip});
}

void exportGlb(benchmark::State& state) {
    ktrt_tool::PlaySession& played = session();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string glb = ktrt_tool::serializeGltf(exportModel(played), true);
        bytes = glb.size();
        benchmark::DoNotOptimize(glb.data());
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// The floor: the frames played with update() alone, then tinygltf writing
// the bytes of an export made beforehand.
void playAndWriteGlb(benchmark::State& state) {
    ktrt_tool::PlaySession& played = session();
    const tinygltf::Model model = exportModel(played);
    std::size_t bytes = 0;
    for (auto _ : state) {
        KTAnimationInstance instance(played.component, &played.animation);
        for (int k = 0; k <= frames; ++k)
            instance.update();
        instance.resetState();
        const std::string glb = ktrt_tool::serializeGltf(model, true);
        bytes = glb.size();
        benchmark::DoNotOptimize(glb.data());
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

BENCHMARK(exportGlb)->Unit(benchmark::kMillisecond);
BENCHMARK(playAndWriteGlb)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
