// Scaling of the animation containers: the per-item cost of walking every
// track by index, looking tracks up by name and appending keys must stay flat
// as the counts grow (compare the items_per_second of the sizes in one run).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <ktrt/keys/KTComponentAnimation.h>

namespace {

std::vector<std::string> partNames(int count) {
    std::vector<std::string> names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names.push_back("part" + std::to_string(i));
    return names;
}

void fill(KTComponentAnimation& animation, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        auto* track = new KTPartAnimation();
        track->setPartName(name.c_str());
        animation.addPartAnimation(track);
    }
}

// What playback does on every frame: visit every track by index.
void WalkAllTracksByIndex(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KTComponentAnimation animation;
    fill(animation, partNames(count));
    for (auto _ : state) {
        unsigned int keys = 0;
        for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i)
            keys += animation[i]->getNumStates();
        benchmark::DoNotOptimize(keys);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(WalkAllTracksByIndex)->Arg(1000)->Arg(100000);

// Baseline for the walk: the same tracks reached through a plain vector of
// pointers, so memory latency of touching every track is measured alone.
void WalkTrackPointersBaseline(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KTComponentAnimation animation;
    fill(animation, partNames(count));
    std::vector<KTPartAnimation*> tracks;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i)
        tracks.push_back(animation[i]);
    for (auto _ : state) {
        unsigned int keys = 0;
        for (KTPartAnimation* track : tracks)
            keys += track->getNumStates();
        benchmark::DoNotOptimize(keys);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(WalkTrackPointersBaseline)->Arg(1000)->Arg(100000);

void LookupByName(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> names = partNames(count);
    KTComponentAnimation animation;
    fill(animation, names);
    // The same 1000 probes at every size, spread over the whole table.
    std::vector<const char*> probes;
    for (int i = 0; i < 1000; ++i)
        probes.push_back(names[(static_cast<long>(i) * 7919) % count].c_str());
    for (auto _ : state) {
        int found = 0;
        for (const char* name : probes)
            found += animation.containsAnimationForPart(name);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(probes.size()));
}
BENCHMARK(LookupByName)->Arg(1000)->Arg(100000);

void AppendKeys(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KTPartAnimation track;
        for (int i = 0; i < count; ++i)
            track.appendState(new KTAnimationState());
        benchmark::DoNotOptimize(track.getNumStates());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(AppendKeys)->Arg(1000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
