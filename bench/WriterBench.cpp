// The animation writer against a bare std::to_chars loop that writes the same
// numbers into one buffer, on animations read from generated files (random
// axes and angles, as an authoring tool would write them). Keys read from a
// file go out with the axis and angle they remember; a second pair of runs
// gives every key Euler angles of its own (one unit in the last place off
// the ones read), which go out as the nearest axis and angle; a third has
// positions only.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTAnimationWriter.h>
#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

namespace {

constexpr int keyCount = 250;

// A file of `partCount` tracks, with orientations or without, and the
// numbers it holds.
std::string generatedFile(int partCount, bool orientations, std::vector<float>& numbers) {
    std::mt19937 random(2026);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::string out = "KTAnimation {\n Children [\n";
    char text[32];
    const auto put = [&](float value) {
        std::snprintf(text, sizeof text, "%.6g ", static_cast<double>(value));
        out += text;
        numbers.push_back(std::stof(text));
    };
    for (int p = 0; p < partCount; ++p) {
        out += "  KTPartTransform {\n   Name \"Part" + std::to_string(p) + "\"\n";
        for (int kind = orientations ? 0 : 1; kind < 2; ++kind) {
            out += kind == 0 ? "   OrientationInterpolator {\n    Key [ "
                             : "   PositionInterpolator {\n    Key [ ";
            for (int k = 0; k < keyCount; ++k)
                put(0.0f);
            out += "]\n    KeyValue [\n";
            for (int k = 0; k < keyCount; ++k) {
                for (int i = 0; i < (kind == 0 ? 3 : 3); ++i)
                    put(kind == 0 ? unit(random) : 100.0f * unit(random));
                if (kind == 0)
                    put(3.14159f * unit(random));
                out += "\n";
            }
            out += "    ]\n   }\n";
        }
        out += "  }\n";
    }
    return out + " ]\n}\n";
}

struct Fixture {
    KTComponentAnimation animation;
    std::vector<float> numbers;
};

// Kinds of fixture: positions only, orientations as read, orientations set
// as Euler angles.
enum Kind { positionsOnly, orientationsRead, orientationsSet };

// Every number in `text`, in order.
std::vector<float> numbersIn(const std::string& text) {
    std::vector<float> numbers;
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto separator = [](char c) { return c == ' ' || c == '\n'; };
    while (p != end) {
        const char* token = p;
        while (p != end && !separator(*p))
            ++p;
        float value;
        if (token != p && std::from_chars(token, p, value).ptr == p)
            numbers.push_back(value);
        while (p != end && separator(*p))
            ++p;
    }
    return numbers;
}

Fixture& fixture(int partCount, int kind) {
    static std::map<std::pair<int, int>, std::unique_ptr<Fixture>> made;
    auto& slot = made[{partCount, kind}];
    if (!slot) {
        slot = std::make_unique<Fixture>();
        const std::string path = "/tmp/ktrt-writer-bench-" + std::to_string(::getpid()) + ".kta";
        std::ofstream(path) << generatedFile(partCount, kind != positionsOnly, slot->numbers);
        KTRegistryLoader::RegisterAnimation("writer-bench", path.c_str());
        slot->animation.loadAnimationFromFile("writer-bench");
        std::remove(path.c_str());
        if (kind == orientationsSet) {
            for (unsigned int t = 0; t < slot->animation.getNumPartAnimations(); ++t) {
                KTPartAnimation& track = *slot->animation[t];
                for (unsigned int k = 0; k < track.getNumStates(); ++k) {
                    const KTAngle a = track[k]->getOrientation();
                    track[k]->setOrientation(KTAngle(std::nextafter(a[0], 1e9), a[1], a[2]));
                }
            }
            // The floor formats the numbers the writer writes for these keys.
            std::string text;
            KTAnimationWriter().write(slot->animation, text);
            slot->numbers = numbersIn(text);
        }
    }
    return *slot;
}

void report(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_KtrtWriter(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::string text;
    for (auto _ : state) {
        text.clear();
        KTAnimationWriter writer;
        writer.write(f.animation, text);
        benchmark::DoNotOptimize(text.data());
    }
    report(state, text.size());
}

void BM_ToCharsFloor(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::string text;
    for (auto _ : state) {
        text.resize(f.numbers.size() * 16);
        char* p = text.data();
        for (const float value : f.numbers) {
            p = std::to_chars(p, p + 15, value).ptr;
            *p++ = ' ';
        }
        text.resize(static_cast<std::size_t>(p - text.data()));
        benchmark::DoNotOptimize(text.data());
    }
    report(state, text.size());
}

// Both run on the same fixtures: tracks of 250 keys, and the Kind.
void fixtures(benchmark::internal::Benchmark* run) {
    run->Args({64, orientationsRead})
        ->Args({64, orientationsSet})
        ->Args({4, positionsOnly})
        ->Args({64, positionsOnly})
        ->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_KtrtWriter)->Apply(fixtures);
BENCHMARK(BM_ToCharsFloor)->Apply(fixtures);

BENCHMARK_MAIN();
