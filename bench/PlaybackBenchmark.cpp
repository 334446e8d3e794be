// Cost of one animation frame over many parts: KTAnimationInstance::update()
// against baselines on the same transform nodes: the bare floor of writing
// precomputed values with setValue, the same floor converting each key's
// angles as it is written (what playback must do when it keeps nothing per
// frame), and Coin's VRML97 interpolator engines connected to the fields.
// Also the cost of binding an instance against the floor of saving the found
// parts' transforms, and the instance's own memory per part.
#include <cmath>
#include <map>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/VRMLnodes/SoVRMLOrientationInterpolator.h>
#include <Inventor/VRMLnodes/SoVRMLPositionInterpolator.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/playback/KTAnimationInstance.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include <benchmark/benchmark.h>

#include "PerPartScenes.h"

namespace {

using ktrt_bench::perPart;
using ktrt_bench::sceneOf;

constexpr int keysPerTrack = 8;

// A component with `parts` logical parts and an animation with one track per
// part, every key moving and turning its part.
struct Scene {
    explicit Scene(int parts) {
        KTComponentLibrary::init();
        component = world.addComponent("Bench");
        std::map<std::string, KTPart*> partsByName;
        for (int p = 0; p < parts; ++p) {
            const std::string name = "Part" + std::to_string(p);
            KTPart* part = component->addLogicalPart(name.c_str());
            partsByName[name] = part;
            auto* track = new KTPartAnimation;
            track->setPartName(name.c_str());
            track->setUsePositions(1);
            track->setUseOrientations(1);
            for (int k = 0; k < keysPerTrack; ++k) {
                track->appendState(
                    new KTAnimationState(k / (keysPerTrack - 1.0), KTVector3(p, k, 0.5 * k),
                                         KTAngle(10.0 * k, 5.0 * k + p % 7, 2.0 * k)));
            }
            animation.addPartAnimation(track);
        }
        // Parts and nodes in the animation's track order, as update() visits
        // them, taken from the map so that the floors make no lookups.
        for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
            KTPart* part = partsByName[animation[i]->getPartName().data()];
            partList.push_back(part);
            nodes.push_back(static_cast<SoTransform*>(part->getPart("transform", TRUE)));
        }
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    KTComponentAnimation animation;
    std::vector<KTPart*> partList;
    std::vector<SoTransform*> nodes;
};

void BM_InstanceUpdate(benchmark::State& state) {
    // Each size binds once for all repetitions.
    static std::map<int, std::unique_ptr<KTAnimationInstance>> instances;
    std::unique_ptr<KTAnimationInstance>& instance = instances[state.range(0)];
    if (!instance) {
        Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
        instance = std::make_unique<KTAnimationInstance>(scene.component, &scene.animation);
    }
    for (auto _ : state)
        instance->update();
    perPart(state);
}

// The same values, converted once up front, written with setValue.
void BM_SetValueFloor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    struct Pose {
        float t[3];
        float q[4];
    };
    std::vector<Pose> poses; // [frame][track]
    for (int k = 0; k < keysPerTrack; ++k) {
        for (unsigned int i = 0; i < scene.animation.getNumPartAnimations(); ++i) {
            KTAnimationState* key = (*scene.animation[i])[k];
            Pose pose;
            for (int c = 0; c < 3; ++c)
                pose.t[c] = static_cast<float>(key->getPosition()[c]);
            key->getOrientation().getValue(pose.q);
            poses.push_back(pose);
        }
    }
    const std::size_t count = scene.nodes.size();
    int frame = 0;
    for (auto _ : state) {
        const Pose* row = &poses[frame * count];
        for (std::size_t i = 0; i < count; ++i) {
            scene.nodes[i]->translation.setValue(row[i].t[0], row[i].t[1], row[i].t[2]);
            scene.nodes[i]->rotation.setValue(row[i].q[0], row[i].q[1], row[i].q[2], row[i].q[3]);
        }
        frame = (frame + 1) % keysPerTrack;
    }
    perPart(state);
}

// The same writes with each key's angles converted to a quaternion as it is
// written, as update() does.
void BM_ConvertingSetValueFloor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    const unsigned int count = scene.animation.getNumPartAnimations();
    std::vector<const KTAnimationState*> keys; // [frame][track]
    for (int k = 0; k < keysPerTrack; ++k) {
        for (unsigned int i = 0; i < count; ++i)
            keys.push_back((*scene.animation[i])[k]);
    }
    int frame = 0;
    for (auto _ : state) {
        const KTAnimationState* const* row = &keys[frame * count];
        for (unsigned int i = 0; i < count; ++i) {
            double x, y, z;
            row[i]->getPosition().getValues(x, y, z);
            float q[4];
            row[i]->getOrientation().getValue(q);
            scene.nodes[i]->translation.setValue(static_cast<float>(x), static_cast<float>(y),
                                                 static_cast<float>(z));
            scene.nodes[i]->rotation.setValue(q[0], q[1], q[2], q[3]);
        }
        frame = (frame + 1) % keysPerTrack;
    }
    perPart(state);
}

// Heap bytes in use, from the arena and from separately mapped blocks.
std::size_t bytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Binding: every track's part looked up by name, its transform saved. Also
// reports the instance's own heap bytes per part.
void BM_InstanceBind(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        KTAnimationInstance instance(scene.component, &scene.animation);
        benchmark::DoNotOptimize(&instance);
    }
    perPart(state);
    const std::size_t before = bytesInUse();
    {
        auto instance = std::make_unique<KTAnimationInstance>(scene.component, &scene.animation);
        state.counters["bytes_per_part"] =
            static_cast<double>(bytesInUse() - before) / static_cast<double>(state.range(0));
    }
}

// The floor of binding: the parts handed over directly, only their
// transforms saved into new referenced nodes.
void BM_SaveTransformsFloor(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    std::vector<SoTransform*> saved(scene.nodes.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
            auto* live = static_cast<SoTransform*>(scene.partList[i]->getPart("transform", TRUE));
            saved[i] = new SoTransform;
            saved[i]->ref();
            saved[i]->translation.setValue(live->translation.getValue());
            saved[i]->rotation.setValue(live->rotation.getValue());
            saved[i]->scaleFactor.setValue(live->scaleFactor.getValue());
            saved[i]->scaleOrientation.setValue(live->scaleOrientation.getValue());
            saved[i]->center.setValue(live->center.getValue());
        }
        for (SoTransform* node : saved)
            node->unref();
    }
    perPart(state);
}

// VRML97 interpolators connected to the fields, stepped key by key through
// set_fraction; the fields are read so that the engines evaluate, as a render
// traversal would.
void BM_VrmlInterpolators(benchmark::State& state) {
    Scene& scene = sceneOf<Scene>(static_cast<int>(state.range(0)));
    std::vector<SoVRMLPositionInterpolator*> positions;
    std::vector<SoVRMLOrientationInterpolator*> orientations;
    for (unsigned int i = 0; i < scene.animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = scene.animation[i];
        auto* position = new SoVRMLPositionInterpolator;
        auto* orientation = new SoVRMLOrientationInterpolator;
        position->ref();
        orientation->ref();
        for (int k = 0; k < keysPerTrack; ++k) {
            const float fraction = k / (keysPerTrack - 1.0f);
            const KTVector3& p = (*track)[k]->getPosition();
            float q[4];
            (*track)[k]->getOrientation().getValue(q);
            position->key.set1Value(k, fraction);
            position->keyValue.set1Value(k,
                                         SbVec3f(static_cast<float>(p[0]), static_cast<float>(p[1]),
                                                 static_cast<float>(p[2])));
            orientation->key.set1Value(k, fraction);
            orientation->keyValue.set1Value(k, SbRotation(q[0], q[1], q[2], q[3]));
        }
        scene.nodes[i]->translation.connectFrom(&position->value_changed);
        scene.nodes[i]->rotation.connectFrom(&orientation->value_changed);
        positions.push_back(position);
        orientations.push_back(orientation);
    }
    const std::size_t count = scene.nodes.size();
    int frame = 0;
    for (auto _ : state) {
        const float fraction = frame / (keysPerTrack - 1.0f);
        for (std::size_t i = 0; i < count; ++i) {
            positions[i]->set_fraction.setValue(fraction);
            orientations[i]->set_fraction.setValue(fraction);
            benchmark::DoNotOptimize(scene.nodes[i]->translation.getValue());
            benchmark::DoNotOptimize(scene.nodes[i]->rotation.getValue());
        }
        frame = (frame + 1) % keysPerTrack;
    }
    perPart(state);
    for (std::size_t i = 0; i < count; ++i) {
        scene.nodes[i]->translation.disconnect();
        scene.nodes[i]->rotation.disconnect();
        positions[i]->unref();
        orientations[i]->unref();
    }
}

} // namespace

BENCHMARK(BM_InstanceUpdate)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SetValueFloor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertingSetValueFloor)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InstanceBind)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTransformsFloor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VrmlInterpolators)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
