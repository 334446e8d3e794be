// Cost of playing by time over many parts: KTAnimationSampler::sample() at
// one time for all parts, against the bare floor of writing the same
// (precomputed) values with setValue into the same transform nodes and of
// writing them as poses through the sampler's part binding, and against
// Coin's VRML97 interpolator engines connected to those nodes and driven by
// one fraction field. Also the evaluation alone (the prepared keys sampled
// into a pose, no node touched) beside the same floor, the bytes a prepared
// key takes, and the cost a player adds to a driver tick.
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/VRMLnodes/SoVRMLOrientationInterpolator.h>
#include <Inventor/VRMLnodes/SoVRMLPositionInterpolator.h>
#include <Inventor/VRMLnodes/SoVRMLScalarInterpolator.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/playback/KTAnimationSampler.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/binding/KTPartBinding.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/world/KTWorldDriver.h>

#include <benchmark/benchmark.h>

#include "PerPartScenes.h"

namespace {

using ktrt_bench::perPart;
using ktrt_bench::sceneOf;

constexpr int keysPerTrack = 8;
constexpr double keyRate = 30.0;
// Times sampled in turn: a step that is no whole number of keys, so nearly
// every sample falls between two keys.
constexpr int distinctTimes = 16;
constexpr double timeStep = 0.37 / keyRate;

// A component with `parts` logical parts and an animation with one track per
// part, every key moving and turning its part, bound to a sampler.
struct Scene {
    explicit Scene(int parts) {
        KTComponentLibrary::init();
        component = world.addComponent("Bench");
        for (int p = 0; p < parts; ++p) {
            const std::string name = "Part" + std::to_string(p);
            component->addLogicalPart(name.c_str());
            auto* track = new KTPartAnimation;
            track->setPartName(name.c_str());
            track->setUsePositions(1);
            track->setUseOrientations(1);
            for (int k = 0; k < keysPerTrack; ++k) {
                track->appendState(new KTAnimationState(
                    0.0, KTVector3(p, k, 0.5 * k), KTAngle(40.0 * k, 25.0 * k + p % 7, 10.0 * k)));
            }
            animation.addPartAnimation(track);
        }
        sampler = std::make_unique<KTAnimationSampler>(component, &animation, keyRate);
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    KTComponentAnimation animation;
    std::unique_ptr<KTAnimationSampler> sampler;
};

void BM_SamplerSample(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    int step = 0;
    for (auto _ : state) {
        scene.sampler->sample(step * timeStep);
        step = (step + 1) % distinctTimes;
    }
    perPart(state);
}

// The sampler's evaluation alone: the shared prepared keys sampled into a
// pose at the same times, touching no node. Also the bytes per key of the
// prepared keys: of the bench's keys (set as Euler angles), and of keys that
// remember the axis and angle they were read from, as a file's keys do
// (their STEP rotations are kept beside the exact ones).
void BM_ClipSampleIntoPose(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    const KTAnimationClip& clip = *scene.sampler->getClip();
    KTAnimationClip::Timing timing;
    timing.keysPerSecond = keyRate;
    KTPose pose(clip.getNumTracks());
    int step = 0;
    for (auto _ : state) {
        clip.sample(step * timeStep, timing, pose);
        benchmark::DoNotOptimize(pose.getRotation(0).getValue()[0]);
        step = (step + 1) % distinctTimes;
    }
    perPart(state);
    const double keys = static_cast<double>(state.range(0)) * keysPerTrack;
    state.counters["bytes_per_key"] = static_cast<double>(clip.getKeyBytes()) / keys;
    KTComponentAnimation remembered(scene.animation);
    for (unsigned int t = 0; t < remembered.getNumPartAnimations(); ++t) {
        KTPartAnimation& track = *remembered[t];
        for (unsigned int k = 0; k < track.getNumStates(); ++k)
            track[k]->setOrientation(KTAxisAngle(1.0f, 0.5f, 0.25f, 0.1f * k));
    }
    state.counters["bytes_per_remembered_key"] =
        static_cast<double>(KTAnimationClip(remembered).getKeyBytes()) / keys;
}

// The sampler's own output at the same times, captured once, written with
// setValue: what any player must at least do.
void BM_SamplerSetValueFloor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationSampler& sampler = *scene.sampler;
    struct Pose {
        float t[3];
        float q[4];
    };
    const unsigned int count = sampler.getNumParts();
    std::vector<SoTransform*> nodes(count);
    std::vector<Pose> poses; // [time][part]
    for (unsigned int i = 0; i < count; ++i)
        nodes[i] = sampler.getPartTransform(i);
    for (int step = 0; step < distinctTimes; ++step) {
        sampler.sample(step * timeStep);
        for (unsigned int i = 0; i < count; ++i) {
            Pose pose;
            const SbVec3f& t = nodes[i]->translation.getValue();
            for (int c = 0; c < 3; ++c)
                pose.t[c] = t[c];
            nodes[i]->rotation.getValue().getValue(pose.q[0], pose.q[1], pose.q[2], pose.q[3]);
            poses.push_back(pose);
        }
    }
    int step = 0;
    for (auto _ : state) {
        const Pose* row = &poses[static_cast<std::size_t>(step) * count];
        for (unsigned int i = 0; i < count; ++i) {
            nodes[i]->translation.setValue(row[i].t[0], row[i].t[1], row[i].t[2]);
            nodes[i]->rotation.setValue(row[i].q[0], row[i].q[1], row[i].q[2], row[i].q[3]);
        }
        step = (step + 1) % distinctTimes;
    }
    perPart(state);
}

// The same captured values as poses, written through the sampler's part
// binding: the write step alone (one notification of the scene per part, and
// the binding's check that the component is still there).
void BM_BindingWritePose(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationSampler& sampler = *scene.sampler;
    const KTPartBinding& binding = sampler.getBinding();
    const unsigned int count = binding.getNumParts();
    std::vector<KTPose> poses(distinctTimes, KTPose(count));
    for (int step = 0; step < distinctTimes; ++step) {
        sampler.sample(step * timeStep);
        for (unsigned int i = 0; i < count; ++i) {
            poses[step].setTranslation(i, binding.getTransform(i)->translation.getValue());
            poses[step].setRotation(i, binding.getTransform(i)->rotation.getValue());
        }
    }
    int step = 0;
    for (auto _ : state) {
        binding.write(poses[step]);
        step = (step + 1) % distinctTimes;
    }
    perPart(state);
}

// VRML97 interpolators on every part, their set_fraction connected to one
// field that carries the time (as a fraction of the cycle); the transforms'
// fields are read so that the engines evaluate, as a render traversal would.
void BM_SamplerVrmlEngines(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    KTAnimationSampler& sampler = *scene.sampler;
    // The field that carries the time: an input of one more interpolator,
    // which is only its container.
    auto* clock = new SoVRMLScalarInterpolator;
    clock->ref();
    SoSFFloat* fraction = &clock->set_fraction;
    const unsigned int count = sampler.getNumParts();
    std::vector<SoTransform*> nodes(count);
    std::vector<SoVRMLPositionInterpolator*> positions(count);
    std::vector<SoVRMLOrientationInterpolator*> orientations(count);
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = sampler.getPartAnimation(i);
        nodes[i] = sampler.getPartTransform(i);
        positions[i] = new SoVRMLPositionInterpolator;
        orientations[i] = new SoVRMLOrientationInterpolator;
        positions[i]->ref();
        orientations[i]->ref();
        for (int k = 0; k < keysPerTrack; ++k) {
            const float at = k / (keysPerTrack - 1.0f);
            const KTVector3& p = (*track)[k]->getPosition();
            float q[4];
            (*track)[k]->getOrientation().getValue(q);
            positions[i]->key.set1Value(k, at);
            positions[i]->keyValue.set1Value(k, SbVec3f(static_cast<float>(p[0]),
                                                        static_cast<float>(p[1]),
                                                        static_cast<float>(p[2])));
            orientations[i]->key.set1Value(k, at);
            orientations[i]->keyValue.set1Value(k, SbRotation(q[0], q[1], q[2], q[3]));
        }
        positions[i]->set_fraction.connectFrom(fraction);
        orientations[i]->set_fraction.connectFrom(fraction);
        nodes[i]->translation.connectFrom(&positions[i]->value_changed);
        nodes[i]->rotation.connectFrom(&orientations[i]->value_changed);
    }
    const double cycle = (keysPerTrack - 1) / keyRate;
    int step = 0;
    for (auto _ : state) {
        fraction->setValue(static_cast<float>(step * timeStep / cycle));
        for (unsigned int i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(nodes[i]->translation.getValue());
            benchmark::DoNotOptimize(nodes[i]->rotation.getValue());
        }
        step = (step + 1) % distinctTimes;
    }
    perPart(state);
    for (unsigned int i = 0; i < count; ++i) {
        nodes[i]->translation.disconnect();
        nodes[i]->rotation.disconnect();
        positions[i]->unref();
        orientations[i]->unref();
    }
    clock->unref();
}

// A world of N components ticked by the driver, with and without one player
// (a component whose one part turns and moves, advanced by the real clock).
struct TickWorld {
    // Coin is initialised before the members: the driver makes a sensor.
    struct CoinReady {
        CoinReady() { KTComponentLibrary::init(); }
    };

    explicit TickWorld(int components) {
        for (int c = 0; c < components; ++c)
            world.addComponent(("Component" + std::to_string(c)).c_str());
        KTComponent* chest = world.getComponent(0u);
        chest->addLogicalPart("Lid");
        auto* track = new KTPartAnimation;
        track->setPartName("Lid");
        track->setUsePositions(1);
        track->setUseOrientations(1);
        for (int k = 0; k < keysPerTrack; ++k)
            track->appendState(
                new KTAnimationState(0.0, KTVector3(0, k, 0), KTAngle(10.0 * k, 0, 5.0 * k)));
        animation.addPartAnimation(track);
        player = std::make_unique<KTAnimationPlayer>(chest, &animation);
        player->play();
        driver.addWorld(&world);
        driver.runWorld(&world);
    }
    ~TickWorld() { driver.stopWorld(&world); }

    CoinReady coinReady;
    KTComponentDB world;
    KTComponentAnimation animation;
    std::unique_ptr<KTAnimationPlayer> player;
    KTWorldDriver driver;
};

void perComponent(benchmark::State& state) {
    state.counters["per_component"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DriverTickWithPlayer(benchmark::State& state) {
    TickWorld world(static_cast<int>(state.range(0)));
    world.driver.addPlayer(&world.world, world.player.get());
    for (auto _ : state)
        world.driver.tickWorlds();
    world.driver.removePlayer(world.player.get());
    perComponent(state);
}

void BM_DriverTickWithoutPlayer(benchmark::State& state) {
    TickWorld world(static_cast<int>(state.range(0)));
    for (auto _ : state)
        world.driver.tickWorlds();
    perComponent(state);
}

} // namespace

BENCHMARK(BM_SamplerSample)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClipSampleIntoPose)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SamplerSetValueFloor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BindingWritePose)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SamplerVrmlEngines)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DriverTickWithPlayer)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_DriverTickWithoutPlayer)->Arg(100)->Arg(1000)->Arg(10000);

BENCHMARK_MAIN();
