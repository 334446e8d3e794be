// Cost of one driver tick over many components against a bare loop of
// virtual tick() calls over the same components.
#include <string>
#include <vector>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>

#include <ktrt/world/KTWorldDriver.h>

#include <benchmark/benchmark.h>

namespace {

struct World {
    explicit World(int components) {
        KTComponentLibrary::init();
        for (int c = 0; c < components; ++c)
            all.push_back(world.addComponent(("Component" + std::to_string(c)).c_str()));
    }
    KTComponentDB world;
    std::vector<KTComponent*> all;
};

void perComponent(benchmark::State& state) {
    state.counters["per_component"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DriverTick(benchmark::State& state) {
    World world(static_cast<int>(state.range(0)));
    KTWorldDriver driver;
    driver.addWorld(&world.world);
    driver.runWorld(&world.world);
    for (auto _ : state)
        driver.tickWorlds();
    driver.stopWorld(&world.world);
    perComponent(state);
}

void BM_BareVirtualTicks(benchmark::State& state) {
    World world(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (KTComponent* component : world.all)
            component->tick();
        benchmark::ClobberMemory();
    }
    perComponent(state);
}

} // namespace

BENCHMARK(BM_DriverTick)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_BareVirtualTicks)->Arg(100)->Arg(1000)->Arg(10000);

BENCHMARK_MAIN();
