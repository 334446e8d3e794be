#pragma once

#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

// What the per-part benchmarks share: one scene per size for the whole run
// (building one binds and searches parts by name, which is not what they
// measure), the per-part rate counter that the report reads, and the
// animations they play.
namespace ktrt_bench {

template <class Scene> Scene& sceneOf(int parts) {
    static std::map<int, std::unique_ptr<Scene>> scenes;
    std::unique_ptr<Scene>& scene = scenes[parts];
    if (!scene)
        scene = std::make_unique<Scene>(parts);
    return *scene;
}

inline void perPart(benchmark::State& state) {
    state.counters["per_part"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// An animation of `parts` tracks named "Part0", "Part1", ..., every key
// moving and turning its part; `variant` gives each animation keys of its own.
inline void fillAnimation(KTComponentAnimation& animation, int parts, int keysPerTrack,
                          int variant) {
    for (int p = 0; p < parts; ++p) {
        auto* track = new KTPartAnimation;
        track->setPartName(("Part" + std::to_string(p)).c_str());
        track->setUsePositions(1);
        track->setUseOrientations(1);
        for (int k = 0; k < keysPerTrack; ++k) {
            const double turn = 37.0 * k + 11.0 * variant + p % 13;
            track->appendState(new KTAnimationState(
                0.0, KTVector3(p + variant, k, 0.5 * k - variant),
                KTAngle(turn, 25.0 * k + p % 7 + 20.0 * variant, 10.0 * k - variant)));
        }
        animation.addPartAnimation(track);
    }
}

} // namespace ktrt_bench
