// Cost of blending: a KTAnimationMixer with two actions in a crossfade (both
// active, each at a weight strictly between 0 and 1, their times and fades
// moving on every tick), written once per part, against one
// KTAnimationSampler writing one animation into the same parts and against
// the bare floor of writing the same number of precomputed values with
// setValue. Also what actions cost in memory: a mixer of a thousand actions
// on one shared clip against a mixer of one, every action advanced once.
#include <malloc.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationSampler.h>
#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

#include <benchmark/benchmark.h>

#include "PerPartScenes.h"

namespace {

using ktrt_bench::fillAnimation;
using ktrt_bench::perPart;
using ktrt_bench::sceneOf;

constexpr int keysPerTrack = 8;
constexpr double keyRate = 30.0;
// One tick of a 60 Hz host: no whole number of keys, so nearly every sample
// falls between two keys.
constexpr double tickSeconds = 1.0 / 60.0;
// The crossfade runs over so long that the benchmark never sees it end: it
// starts half-way, both actions near weight 0.5.
constexpr double fadeSeconds = 1.0e6;

// A component with `parts` logical parts and two animations of every part.
struct Scene {
    explicit Scene(int parts) {
        KTComponentLibrary::init();
        component = world.addComponent("Bench");
        for (int p = 0; p < parts; ++p)
            component->addLogicalPart(("Part" + std::to_string(p)).c_str());
        fillAnimation(walk, parts, keysPerTrack, 0);
        fillAnimation(run, parts, keysPerTrack, 1);
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    KTComponentAnimation walk;
    KTComponentAnimation run;
};

void BM_MixerCrossfade(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationMixer mixer(scene.component);
    KTAnimationAction* walk = mixer.addAction(&scene.walk);
    KTAnimationAction* run = mixer.addAction(&scene.run);
    walk->play();
    walk->crossFadeTo(*run, fadeSeconds, 0);
    mixer.advance(fadeSeconds / 2.0);
    for (auto _ : state)
        mixer.advance(tickSeconds);
    perPart(state);
    // Both in the blend, neither alone, at the end as at the start.
    const double walkWeight = walk->getEffectiveWeight();
    const double runWeight = run->getEffectiveWeight();
    if (!(walkWeight > 0.0 && walkWeight < 1.0 && runWeight > 0.0 && runWeight < 1.0))
        state.SkipWithError("the crossfade left its weights between 0 and 1");
    state.counters["weight_walk"] = walkWeight;
    mixer.resetState();
}

// One sampler of one animation, moved on by the same ticks.
void BM_MixerSamplerAnchor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationSampler sampler(scene.component, &scene.walk, keyRate);
    double seconds = 0.0;
    for (auto _ : state) {
        sampler.sample(seconds);
        seconds += tickSeconds;
    }
    perPart(state);
}

// The same sampler holding its pose: every tick samples the same time, so
// every field already holds its value and nothing is written.
void BM_MixerHeldPose(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationSampler sampler(scene.component, &scene.walk, keyRate);
    sampler.sample(0.5 * tickSeconds);
    for (auto _ : state)
        sampler.sample(0.5 * tickSeconds);
    perPart(state);
}

// Writing a translation and a rotation into every part's transform with
// setValue, the values precomputed (a few ticks of the sampler, in turn).
void BM_MixerSetValueFloor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationSampler sampler(scene.component, &scene.walk, keyRate);
    constexpr int distinctTicks = 16;
    struct Values {
        SbVec3f translation;
        SbRotation rotation;
    };
    const unsigned int count = sampler.getNumParts();
    std::vector<SoTransform*> nodes(count);
    for (unsigned int i = 0; i < count; ++i)
        nodes[i] = sampler.getPartTransform(i);
    std::vector<Values> values; // [tick][part]
    for (int tick = 0; tick < distinctTicks; ++tick) {
        sampler.sample(tick * tickSeconds);
        for (unsigned int i = 0; i < count; ++i)
            values.push_back(
                Values{nodes[i]->translation.getValue(), nodes[i]->rotation.getValue()});
    }
    int tick = 0;
    for (auto _ : state) {
        const Values* row = &values[static_cast<std::size_t>(tick) * count];
        for (unsigned int i = 0; i < count; ++i) {
            nodes[i]->translation.setValue(row[i].translation);
            nodes[i]->rotation.setValue(row[i].rotation);
        }
        tick = (tick + 1) % distinctTicks;
    }
    perPart(state);
}

// Bytes in use on the heap, small blocks and mapped ones alike.
std::size_t heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The heap a mixer of `count` playing actions on one shared clip takes once
// every action has been advanced (and so has sampled its pose).
std::size_t mixerBytes(Scene& scene, const std::shared_ptr<const KTAnimationClip>& clip,
                       int count) {
    const std::size_t before = heapBytes();
    std::size_t after = before;
    {
        KTAnimationMixer mixer(scene.component);
        for (int a = 0; a < count; ++a)
            mixer.addAction(clip)->play();
        mixer.advance(tickSeconds);
        after = heapBytes();
        mixer.resetState();
    }
    return after > before ? after - before : 0;
}

// A thousand actions of one animation against one: the time is that of
// building and advancing the mixer of a thousand; the counters give the
// bytes per part of one action's mixer and what each further action adds.
void BM_MixerThousandActionsBytes(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    const auto clip = KTAnimationClip::create(scene.walk);
    constexpr int many = 1000;
    // Binds once first: the first binding of a part gives it a transform.
    std::size_t one = mixerBytes(scene, clip, 1);
    std::size_t thousand = 0;
    for (auto _ : state) {
        one = mixerBytes(scene, clip, 1);
        thousand = mixerBytes(scene, clip, many);
    }
    const double parts = static_cast<double>(state.range(0));
    state.counters["one_action_bytes_per_part"] = static_cast<double>(one) / parts;
    state.counters["bytes_per_part_per_extra_action"] =
        (static_cast<double>(thousand) - static_cast<double>(one)) / ((many - 1) * parts);
    state.counters["clip_bytes_per_part"] = static_cast<double>(clip->getKeyBytes()) / parts;
}

} // namespace

BENCHMARK(BM_MixerCrossfade)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixerSamplerAnchor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixerHeldPose)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixerSetValueFloor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixerThousandActionsBytes)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
