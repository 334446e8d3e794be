// Snapshot and restore of a whole world against what a host would do without
// the library: write the scene into memory, read it back and copy the
// transforms over. Prints the speed-up, the growth of the cost per component
// and the memory a snapshot takes per component.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include <malloc.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>
#include <ktcp/ktcp.h>
#include <ktrt/snapshot/KTWorldState.h>

#include <benchmark/benchmark.h>

namespace {

constexpr int sizes[] = {100, 1000, 10000};

// A world of `count` components, each with eight attributes of mixed types
// and four behaviors, and a separator over the components for the writer.
struct World {
    explicit World(int count) : scene(new SoSeparator) {
        scene->ref();
        for (int i = 0; i < count; ++i) {
            const std::string name = "component" + std::to_string(i);
            KTComponent* component = db.addComponent(name.c_str());
            auto* transform = static_cast<SoTransform*>(component->getPart("transform", TRUE));
            transform->translation.setValue(float(i), 1.0f, 2.0f);
            transform->rotation.setValue(SbVec3f(0, 1, 0), 0.01f * float(i));
            const float f = float(i);
            component->addAttribute(new KTBoolAttribute("enabled", i % 2));
            component->addAttribute(new KTColorAttribute("colour", SbColor(0.1f, 0.2f, 0.3f)));
            component->addAttribute(new KTFloatAttribute("speed", f));
            SoMFString urls;
            urls.setValue("wood.png");
            component->addAttribute(new KTMFStringAttribute("textureUrl", urls));
            component->addAttribute(
                new KTRotationAttribute("heading", SbRotation(SbVec3f(0, 0, 1), f)));
            component->addAttribute(new KTStringAttribute("label", RWCString(name.c_str())));
            component->addAttribute(new KTTimeAttribute("started", SbTime(f)));
            component->addAttribute(new KTVec3fAttribute("target", SbVec3f(f, f, f)));
            component->addBehavior("blink", 1);
            component->addBehavior("follow", 0);
            component->addBehavior("idle", 1);
            component->addBehavior("spin", 0);
            component->activateBehavior("follow", 0);
            scene->addChild(component);
        }
    }
    ~World() { scene->unref(); }

    KTComponentDB db;
    SoSeparator* scene;
};

World& worldOf(int count) {
    static std::map<int, std::unique_ptr<World>> worlds;
    auto& world = worlds[count];
    if (!world)
        world = std::make_unique<World>(count);
    return *world;
}

double fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

void* grow(void* buffer, size_t size) {
    return std::realloc(buffer, size);
}

// Heap bytes in use, from the arena and from separately mapped blocks.
size_t bytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double snapshotBytesPerComponent(int count) {
    World& world = worldOf(count);
    const size_t before = bytesInUse();
    auto snapshot = std::make_unique<KTWorldState>();
    snapshot->makeSnapshot(&world.db);
    const size_t after = bytesInUse();
    return double(after - before) / count;
}

// The host keeps its world state and takes a new snapshot into it: entries
// are overwritten in place. Also reports the heap one snapshot of the world
// takes per component.
void BM_SnapshotAndRestore(benchmark::State& state) {
    World& world = worldOf(int(state.range(0)));
    static std::map<int, KTWorldState> kept;
    KTWorldState& snapshot = kept[int(state.range(0))];
    for (auto _ : state) {
        snapshot.makeSnapshot(&world.db);
        snapshot.restoreFromSnapshot(&world.db);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_component"] = snapshotBytesPerComponent(int(state.range(0)));
}

// A new world state every time: every entry and its transform node is built
// and destroyed once per iteration.
void BM_SnapshotAndRestoreNewState(benchmark::State& state) {
    World& world = worldOf(int(state.range(0)));
    for (auto _ : state) {
        KTWorldState snapshot;
        snapshot.makeSnapshot(&world.db);
        snapshot.restoreFromSnapshot(&world.db);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor: only the calls into the component library and Coin that a
// snapshot and a restore of this world must make, keeping nothing but the
// names needed to find things again.
void BM_RequiredCallsOnly(benchmark::State& state) {
    World& world = worldOf(int(state.range(0)));
    RWTValSortedVector<RWCString> active(0), all(0), atStartup(0), attributes(0);
    struct Seen {
        RWCString name;
        std::vector<RWCString> attributes, behaviors;
    };
    std::vector<Seen> seen(world.db.getNumComponents());
    SoTransform* saved = new SoTransform;
    saved->ref();
    for (auto _ : state) {
        std::size_t count = 0;
        KTComponentIterator components(&world.db, 0, "");
        while (components++) {
            KTComponent* component = components.getValue();
            Seen& entry = seen[count++];
            entry.name = component->getName().getString();
            auto* transform = static_cast<SoTransform*>(component->getPart("transform", TRUE));
            saved->translation.setValue(transform->translation.getValue());
            component->getActiveBehaviorNames(active);
            component->getBehaviorNames(all);
            component->getBehaviorsActivatedAtStartup(atStartup);
            entry.behaviors.assign(all.begin(), all.end());
            component->getAttributeNames(attributes);
            entry.attributes.assign(attributes.begin(), attributes.end());
            for (const RWCString& name : attributes)
                benchmark::DoNotOptimize(component->getAttribute(name));
        }
        for (const Seen& entry : seen) {
            KTComponent* component = world.db.getComponent(entry.name);
            auto* transform = static_cast<SoTransform*>(component->getPart("transform", TRUE));
            transform->translation.setValue(saved->translation.getValue());
            transform->rotation.setValue(saved->rotation.getValue());
            transform->scaleFactor.setValue(saved->scaleFactor.getValue());
            transform->scaleOrientation.setValue(saved->scaleOrientation.getValue());
            transform->center.setValue(saved->center.getValue());
            for (const RWCString& attribute : entry.attributes)
                benchmark::DoNotOptimize(component->getAttribute(attribute));
            for (const RWCString& behavior : entry.behaviors) {
                const KTBehavior flags = component->getBehavior(behavior);
                if (flags.isActive())
                    world.db.activateBehavior(entry.name, behavior, 0);
                component->setActivatedAtStartup(behavior, flags.isActivatedAtStartup());
            }
        }
    }
    saved->unref();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WriteReadAndCopyTransforms(benchmark::State& state) {
    World& world = worldOf(int(state.range(0)));
    for (auto _ : state) {
        SoOutput out;
        out.setBuffer(std::malloc(1 << 20), 1 << 20, grow);
        SoWriteAction writer(&out);
        writer.apply(world.scene);
        void* bytes = nullptr;
        size_t length = 0;
        out.getBuffer(bytes, length);

        SoInput in;
        in.setBuffer(bytes, length);
        SoSeparator* copy = SoDB::readAll(&in);
        copy->ref();
        const int children = copy->getNumChildren();
        for (int i = 0; i < children; ++i) {
            auto* kit = static_cast<KTComponent*>(copy->getChild(i));
            auto* from = static_cast<SoTransform*>(kit->getPart("transform", TRUE));
            auto* to = static_cast<SoTransform*>(
                static_cast<KTComponent*>(world.scene->getChild(i))->getPart("transform", TRUE));
            to->translation.setValue(from->translation.getValue());
            to->rotation.setValue(from->rotation.getValue());
            to->scaleFactor.setValue(from->scaleFactor.getValue());
            to->scaleOrientation.setValue(from->scaleOrientation.getValue());
            to->center.setValue(from->center.getValue());
        }
        copy->unref();
        std::free(bytes);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Every comparison runs on the same three world sizes, with the same
// repetitions and the fastest run kept beside the median.
void worldSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(100)
        ->Arg(1000)
        ->Arg(10000)
        ->Repetitions(5)
        ->ComputeStatistics("min", fastest)
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SnapshotAndRestore)->Apply(worldSizes);
BENCHMARK(BM_SnapshotAndRestoreNewState)->Apply(worldSizes);
BENCHMARK(BM_RequiredCallsOnly)->Apply(worldSizes);
BENCHMARK(BM_WriteReadAndCopyTransforms)->Apply(worldSizes);

// Remembers the time per component of every run, for the summary.
class Recorder : public benchmark::ConsoleReporter {
public:
    // Keeps the fastest of the repetitions, the one least disturbed by other
    // work on a shared machine, or the single run when there is no minimum.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            const bool minimum = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if (minimum || (run.run_type == Run::RT_Iteration && !nsPerComponent.count(name)))
                nsPerComponent[name] = run.GetAdjustedCPUTime() * 1e6 / double(argOf(name));
        }
        ConsoleReporter::ReportRuns(runs);
    }
    static long argOf(const std::string& name) {
        return std::atol(name.substr(name.rfind('/') + 1).c_str());
    }
    std::map<std::string, double> nsPerComponent;
};

} // namespace

int main(int argc, char** argv) {
    KTComponentLibrary::init();
    benchmark::Initialize(&argc, argv);
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);

    auto cost = [&](const char* name, int count) {
        const auto found =
            recorder.nsPerComponent.find(std::string(name) + "/" + std::to_string(count));
        return found == recorder.nsPerComponent.end() ? 0.0 : found->second;
    };
    const char* const ours[] = {"BM_SnapshotAndRestore", "BM_SnapshotAndRestoreNewState"};
    const char* const baseline = "BM_WriteReadAndCopyTransforms";
    const char* const floor = "BM_RequiredCallsOnly";
    std::printf("\nCPU time per component (ns)        ");
    for (int count : sizes)
        std::printf("%10d", count);
    for (const char* name : {ours[0], ours[1], floor, baseline}) {
        std::printf("\n  %-32s", name + 3);
        for (int count : sizes)
            std::printf("%10.0f", cost(name, count));
    }
    for (const char* name : ours) {
        std::printf("\nSpeed-up of %-23s", name + 3);
        for (int count : sizes) {
            const double time = cost(name, count);
            std::printf("%9.1fx", time > 0 ? cost(baseline, count) / time : 0.0);
        }
    }
    std::printf("\nKept state over the floor      ");
    for (int count : sizes) {
        const double bare = cost(floor, count);
        std::printf("%9.2fx", bare > 0 ? cost(ours[0], count) / bare : 0.0);
    }
    for (const char* name : {ours[0], ours[1], floor}) {
        const double at1000 = cost(name, 1000);
        if (at1000 > 0)
            std::printf("\nCost per component of %s, 10,000 vs 1,000: %.2fx (100 vs 1,000: %.2fx)",
                        name + 3, cost(name, 10000) / at1000, cost(name, 100) / at1000);
    }
    std::printf("\nSnapshot memory per component:");
    for (int count : sizes)
        std::printf(" %.0f bytes (%d components)", snapshotBytesPerComponent(count), count);
    std::printf("\n");
    benchmark::Shutdown();
    return 0;
}
