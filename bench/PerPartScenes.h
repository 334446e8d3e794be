#pragma once

#include <map>
#include <memory>

#include <benchmark/benchmark.h>

// What the per-part benchmarks share: one scene per size for the whole run
// (building one binds and searches parts by name, which is not what they
// measure), and the per-part rate counter that the report reads.
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

} // namespace ktrt_bench
