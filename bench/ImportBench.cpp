// ktrt import's resampling against assimp's own loading of the same file: a
// generated BVH motion of 100 nodes (a root that moves and turns, 99 joints
// that turn) and 10,000 frames, resampled at its own rate into a component
// animation.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <benchmark/benchmark.h>

#include <ktrt/keys/KTComponentAnimation.h>

#include "import/ImportSampling.h"

namespace {

constexpr int jointCount = 99;
constexpr int frameCount = 10000;

const std::string& motionFile() {
    static const std::string path = [] {
        std::string made = "/tmp/ktrt-import-bench-" + std::to_string(::getpid()) + ".bvh";
        std::ofstream out(made);
        out << "HIERARCHY\nROOT Root\n{\n  OFFSET 0 0 0\n"
               "  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
        for (int j = 0; j < jointCount; ++j)
            out << "  JOINT Joint" << j << "\n  {\n    OFFSET " << j % 7 << " 1 0\n"
                << "    CHANNELS 3 Zrotation Xrotation Yrotation\n"
                << "    End Site\n    {\n      OFFSET 0 1 0\n    }\n  }\n";
        out << "}\nMOTION\nFrames: " << frameCount << "\nFrame Time: 0.0333333\n";
        std::mt19937 random(7);
        std::uniform_real_distribution<float> swing(-2.0f, 2.0f);
        std::vector<float> angles(3 * (jointCount + 1));
        for (float& a : angles)
            a = 30.0f * swing(random);
        char number[32];
        for (int f = 0; f < frameCount; ++f) {
            out << f * 0.01 << " 0 " << -f * 0.02;
            for (float& a : angles) {
                a += swing(random);
                std::snprintf(number, sizeof number, " %.4f", static_cast<double>(a));
                out << number;
            }
            out << '\n';
        }
        return made;
    }();
    return path;
}

void BM_AssimpLoad(benchmark::State& state) {
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(motionFile(), aiProcess_Triangulate |
                                                                   aiProcess_ValidateDataStructure);
        if (!scene || scene->mNumAnimations == 0)
            state.SkipWithError("assimp did not read the generated motion");
        benchmark::DoNotOptimize(scene);
    }
}

void BM_KtrtResample(benchmark::State& state) {
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(motionFile(), aiProcess_Triangulate | aiProcess_ValidateDataStructure);
    if (!scene || scene->mNumAnimations == 0) {
        state.SkipWithError("assimp did not read the generated motion");
        return;
    }
    const aiAnimation& animation = *scene->mAnimations[0];
    std::vector<std::string> names;
    for (unsigned int c = 0; c < animation.mNumChannels; ++c)
        names.push_back(ktrt_tool::partNameOf(animation.mChannels[c]->mNodeName.C_Str()));
    const double fps = animation.mTicksPerSecond > 0 ? animation.mTicksPerSecond : 30.0;
    for (auto _ : state) {
        KTComponentAnimation result;
        std::vector<std::string> warnings;
        ktrt_tool::buildAnimation(*scene, animation, names, fps, result, warnings);
        benchmark::DoNotOptimize(result.getNumPartAnimations());
    }
    state.counters["keys"] = static_cast<double>(animation.mNumChannels) * frameCount;
}

} // namespace

BENCHMARK(BM_AssimpLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KtrtResample)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
