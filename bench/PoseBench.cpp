// The pose math alone, no scene: sampling prepared keys (KTAnimationClip) into
// a pose sequentially between keys, on keys and at random times, and blending
// poses (two ways, and three layers plus an additive one), each beside a
// streaming floor measured in the same run: per part, reading the bytes of
// the two keys a sample needs and writing the pose's bytes, no arithmetic.
// 60 keys per track, every key moving and turning its part.
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/pose/KTPoseBlend.h>

#include <benchmark/benchmark.h>

#include "PerPartScenes.h"
#include "SlerpFloor.h"

namespace {

using ktrt_bench::fillAnimation;
using ktrt_bench::perPart;
using ktrt_bench::sceneOf;

constexpr int keysPerTrack = 60;
constexpr double keyRate = 30.0;
constexpr double tickSeconds = 1.0 / 60.0;

// Four clips of every part and their poses, built once per size.
struct Scene {
    explicit Scene(int parts) : rest(static_cast<unsigned int>(parts)) {
        for (int a = 0; a < 4; ++a) {
            KTComponentAnimation animation;
            fillAnimation(animation, parts, keysPerTrack, a);
            clips.emplace_back(animation);
            poses.emplace_back(static_cast<unsigned int>(parts));
        }
        timing.keysPerSecond = keyRate;
        for (unsigned int p = 0; p < rest.getNumParts(); ++p)
            rest.setPart(p, SbVec3f(0, 1, 0), SbRotation(SbVec3f(1, 0, 0), 0.1f),
                         KTPose::TRANSLATION | KTPose::ROTATION);
        for (int a = 0; a < 4; ++a)
            clips[a].sample(0.37 + 0.2 * a, timing, poses[a]);
        clips[3].sample(0.0, timing, reference);
    }
    std::vector<KTAnimationClip> clips;
    std::vector<KTPose> poses;
    KTPose rest;
    KTPose reference;
    KTAnimationClip::Timing timing;
};

void counters(benchmark::State& state, const KTAnimationClip& clip) {
    perPart(state);
    state.counters["bytes_per_key"] = static_cast<double>(clip.getKeyBytes()) /
                                      (static_cast<double>(state.range(0)) * keysPerTrack);
    state.SetLabel(KTAnimationClip::getSimdTarget());
}

// Times 1/60 s apart from `first`: at 30 keys a second, `first` = 1/120 s
// keeps every one between two keys, 0 puts every other on a key.
void sampleSequentially(benchmark::State& state, double first, double step) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    const KTAnimationClip& clip = scene.clips[0];
    KTAnimationClip::Cursor cursor;
    KTPose pose(static_cast<unsigned int>(state.range(0)));
    double seconds = first;
    for (auto _ : state) {
        clip.sample(seconds, scene.timing, pose, &cursor);
        benchmark::ClobberMemory();
        seconds += step;
    }
    counters(state, clip);
}

void BM_PoseSampleBetweenKeys(benchmark::State& state) {
    sampleSequentially(state, 0.5 * tickSeconds, tickSeconds);
}

void BM_PoseSampleOnKeys(benchmark::State& state) {
    sampleSequentially(state, 0.0, 1.0 / keyRate);
}

void BM_PoseSampleRandom(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    const KTAnimationClip& clip = scene.clips[0];
    std::mt19937 random(7);
    std::uniform_real_distribution<double> anywhere(0.0, clip.getDuration(scene.timing));
    std::vector<double> times(1024);
    for (double& seconds : times)
        seconds = anywhere(random);
    KTPose pose(static_cast<unsigned int>(state.range(0)));
    std::size_t next = 0;
    for (auto _ : state) {
        clip.sample(times[next], scene.timing, pose);
        benchmark::ClobberMemory();
        next = (next + 1) % times.size();
    }
    counters(state, clip);
}

void BM_PoseBlendTwo(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTPose result(static_cast<unsigned int>(state.range(0)));
    float weight = 0.25f;
    for (auto _ : state) {
        KTPoseBlend::blend(scene.poses[0], scene.poses[1], weight, scene.rest, result);
        benchmark::ClobberMemory();
        weight = 1.0f - weight;
    }
    counters(state, scene.clips[0]);
}

void BM_PoseBlendLayers(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTPose result(static_cast<unsigned int>(state.range(0)));
    const std::vector<KTPoseBlend::Layer> layers{{&scene.poses[0], 0.5, nullptr, nullptr},
                                                 {&scene.poses[1], 0.3, nullptr, nullptr},
                                                 {&scene.poses[2], 0.2, nullptr, nullptr}};
    const std::vector<KTPoseBlend::Layer> additive{
        {&scene.poses[3], 0.4, nullptr, &scene.reference}};
    for (auto _ : state) {
        KTPoseBlend::blend(layers, additive, scene.rest, result);
        benchmark::ClobberMemory();
    }
    counters(state, scene.clips[0]);
}

// The floor: the same number of keys, 32 bytes each in rows of one key per
// part; per part and sample the two keys' bytes read and a pose part's 32
// bytes written, as copies.
void BM_PoseStreamingFloor(benchmark::State& state) {
    struct Key {
        float values[8];
    };
    const auto parts = static_cast<std::size_t>(state.range(0));
    std::vector<Key> keys(parts * keysPerTrack);
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i].values[i % 8] = static_cast<float>(i);
    std::vector<Key> pose(parts);
    std::size_t row = 0;
    for (auto _ : state) {
        const Key* from = &keys[row * parts];
        const Key* to = from + parts;
        for (std::size_t p = 0; p < parts; ++p) {
            Key& out = pose[p];
            for (int c = 0; c < 4; ++c) {
                out.values[c] = from[p].values[c];
                out.values[4 + c] = to[p].values[4 + c];
            }
        }
        benchmark::ClobberMemory();
        row = (row + 1) % (keysPerTrack - 1);
    }
    perPart(state);
}

// The arithmetic floor of an exact blend: per part one slerp between the
// rotations of two of the scene's poses, the library's own exact kit over
// quaternion planes and nothing else (no translations, channels, weights or
// layers).
void BM_PoseSlerpFloor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    const auto parts = static_cast<std::size_t>(state.range(0));
    std::vector<float> from(4 * parts), to(4 * parts), out(4 * parts);
    for (std::size_t p = 0; p < parts; ++p) {
        for (std::size_t c = 0; c < 4; ++c) {
            from[c * parts + p] =
                scene.poses[0].getRotation(static_cast<unsigned>(p)).getValue()[c];
            to[c * parts + p] = scene.poses[1].getRotation(static_cast<unsigned>(p)).getValue()[c];
        }
    }
    float share = 0.25f;
    for (auto _ : state) {
        ktrt_bench::slerpPlanes(from.data(), to.data(), parts, parts, share, out.data());
        benchmark::ClobberMemory();
        share = 1.0f - share;
    }
    perPart(state);
}

} // namespace

BENCHMARK(BM_PoseSampleBetweenKeys)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseSampleOnKeys)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseSampleRandom)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseBlendTwo)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseBlendLayers)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseStreamingFloor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseSlerpFloor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
