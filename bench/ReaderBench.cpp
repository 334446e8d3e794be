// Reading speed of the animation file reader against two baselines measured
// in the same run: Coin's own parser reading the same keys written as VRML97
// interpolator nodes, and a floor that reads the file into memory and parses
// every number with std::from_chars. Each runs on files of about 1, 3 and
// 10 MB (20, 60 and 200 parts of 500 keys). Prints MB/s of each and the
// ratios.

#include <charconv>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/nodes/SoSeparator.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTComponentAnimation.h>

namespace {

constexpr int keyCount = 500;

// One part's keys: orientations as axis and angle, positions.
struct PartKeys {
    std::vector<float> keys;
    std::vector<float> orientations; // 4 per key
    std::vector<float> positions;    // 3 per key
};

std::vector<PartKeys> makeKeys(int partCount) {
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<PartKeys> parts(partCount);
    for (PartKeys& part : parts) {
        for (int k = 0; k < keyCount; ++k) {
            part.keys.push_back(static_cast<float>(k) / (keyCount - 1));
            for (int i = 0; i < 3; ++i)
                part.orientations.push_back(unit(random));
            part.orientations.push_back(3.14159f * unit(random));
            for (int i = 0; i < 3; ++i)
                part.positions.push_back(100.0f * unit(random));
        }
    }
    return parts;
}

// Appends `values` with six significant digits, `perKey` numbers per key,
// one key per line.
void writeValues(std::string& out, const std::vector<float>& values, int perKey,
                 const char* indent) {
    char number[32];
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i % perKey == 0)
            out += indent;
        std::snprintf(number, sizeof number, "%.6g", static_cast<double>(values[i]));
        out += number;
        out += (i % perKey == static_cast<std::size_t>(perKey - 1)) ? ",\n" : " ";
    }
}

void writeKeyList(std::string& out, const std::vector<float>& keys, const char* indent) {
    char number[32];
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i % 10 == 0)
            out += indent;
        std::snprintf(number, sizeof number, "%.6g", static_cast<double>(keys[i]));
        out += number;
        out += (i % 10 == 9) ? ",\n" : ", ";
    }
    out += '\n';
}

std::string animationFile(const std::vector<PartKeys>& parts) {
    std::string out = "KTAnimation {\n  Children [\n";
    for (std::size_t p = 0; p < parts.size(); ++p) {
        out += "    KTPartTransform {\n      Name \"Part" + std::to_string(p) + "\"\n";
        out += "      OrientationInterpolator {\n        Key [\n";
        writeKeyList(out, parts[p].keys, "          ");
        out += "        ]\n        KeyValue [\n";
        writeValues(out, parts[p].orientations, 4, "          ");
        out += "        ]\n      }\n      PositionInterpolator {\n        Key [\n";
        writeKeyList(out, parts[p].keys, "          ");
        out += "        ]\n        KeyValue [\n";
        writeValues(out, parts[p].positions, 3, "          ");
        out += "        ]\n      }\n    }\n";
    }
    out += "  ]\n}\n";
    return out;
}

std::string vrmlFile(const std::vector<PartKeys>& parts) {
    std::string out = "#VRML V2.0 utf8\nGroup {\n  children [\n";
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const std::string name = "Part" + std::to_string(p);
        out += "    DEF " + name + "Orientation OrientationInterpolator {\n      key [\n";
        writeKeyList(out, parts[p].keys, "        ");
        out += "      ]\n      keyValue [\n";
        writeValues(out, parts[p].orientations, 4, "        ");
        out += "      ]\n    }\n";
        out += "    DEF " + name + "Position PositionInterpolator {\n      key [\n";
        writeKeyList(out, parts[p].keys, "        ");
        out += "      ]\n      keyValue [\n";
        writeValues(out, parts[p].positions, 3, "        ");
        out += "      ]\n    }\n";
    }
    out += "  ]\n}\n";
    return out;
}

// The two generated files of one size, written once for the whole run.
struct BenchFiles {
    std::filesystem::path folder;
    std::string animationPath;
    std::string vrmlPath;
    std::size_t animationBytes = 0;
    std::size_t vrmlBytes = 0;

    std::string name;

    explicit BenchFiles(int partCount) {
        name = "bench" + std::to_string(partCount);
        folder = std::filesystem::temp_directory_path() /
                 ("ktrt-reader-bench-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::create_directories(folder);
        const std::vector<PartKeys> parts = makeKeys(partCount);
        animationPath = (folder / "bench.kta").string();
        vrmlPath = (folder / "bench.wrl").string();
        animationBytes = write(animationPath, animationFile(parts));
        vrmlBytes = write(vrmlPath, vrmlFile(parts));
        KTRegistryLoader::RegisterAnimation(name.c_str(), animationPath.c_str());
    }
    ~BenchFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    static std::size_t write(const std::string& path, const std::string& text) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        return text.size();
    }
};

const BenchFiles& files(int partCount) {
    static std::map<int, std::unique_ptr<BenchFiles>> bySize;
    std::unique_ptr<BenchFiles>& instance = bySize[partCount];
    if (!instance)
        instance = std::make_unique<BenchFiles>(partCount);
    return *instance;
}

void setMegabytesPerSecond(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file MB"] = static_cast<double>(bytes) / 1e6;
    state.SetItemsProcessed(state.iterations() * state.range(0) * keyCount);
}

void BM_KtrtReader(benchmark::State& state) {
    const int partCount = static_cast<int>(state.range(0));
    const BenchFiles& bench = files(partCount);
    for (auto _ : state) {
        KTComponentAnimation animation;
        if (!animation.loadAnimationFromFile(bench.name.c_str()) ||
            animation.getNumPartAnimations() != static_cast<unsigned int>(partCount)) {
            state.SkipWithError("the generated file did not read");
            return;
        }
        benchmark::DoNotOptimize(animation);
    }
    setMegabytesPerSecond(state, bench.animationBytes);
}

void BM_CoinVrmlReader(benchmark::State& state) {
    const int partCount = static_cast<int>(state.range(0));
    const BenchFiles& bench = files(partCount);
    SoDB::init();
    for (auto _ : state) {
        SoInput input;
        if (!input.openFile(bench.vrmlPath.c_str())) {
            state.SkipWithError("cannot open the VRML file");
            return;
        }
        SoSeparator* root = SoDB::readAll(&input);
        if (!root) {
            state.SkipWithError("Coin did not read the VRML file");
            return;
        }
        root->ref();
        root->unref();
    }
    setMegabytesPerSecond(state, bench.vrmlBytes);
}

void BM_FromCharsFloor(benchmark::State& state) {
    const int partCount = static_cast<int>(state.range(0));
    const BenchFiles& bench = files(partCount);
    std::vector<char> text(bench.animationBytes);
    for (auto _ : state) {
        std::FILE* file = std::fopen(bench.animationPath.c_str(), "rb");
        const std::size_t size = std::fread(text.data(), 1, text.size(), file);
        std::fclose(file);
        const char* p = text.data();
        const char* const end = p + size;
        double sum = 0;
        std::size_t numbers = 0;
        while (p != end) {
            float value;
            const auto read = std::from_chars(p, end, value);
            if (read.ec == std::errc()) {
                sum += value;
                ++numbers;
                p = read.ptr;
            } else {
                ++p;
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(numbers);
    }
    setMegabytesPerSecond(state, bench.animationBytes);
}

// Five repetitions at each size; the ratios use the medians, which a busy
// machine disturbs least.
BENCHMARK(BM_KtrtReader)
    ->Arg(20)
    ->Arg(60)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_CoinVrmlReader)
    ->Arg(20)
    ->Arg(60)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_FromCharsFloor)
    ->Arg(20)
    ->Arg(60)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The console report, followed by the reader's speed at each size as ratios
// of the two baselines (medians of the repetitions, or single runs when
// repetitions are turned off on the command line).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto counter = run.counters.find("MB/s");
            const bool usable = run.run_type == Run::RT_Iteration || run.aggregate_name == "median";
            if (usable && !run.error_occurred && counter != run.counters.end()) {
                const int parts = std::atoi(run.run_name.args.c_str());
                megabytesPerSecond[parts][run.run_name.function_name] = counter->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (auto& [parts, speeds] : megabytesPerSecond) {
            const double reader = speeds["BM_KtrtReader"];
            const double coin = speeds["BM_CoinVrmlReader"];
            const double floor = speeds["BM_FromCharsFloor"];
            std::printf("\n%d parts: reader %.0f MB/s (target >= 150), Coin VRML97 %.0f MB/s, "
                        "from_chars floor %.0f MB/s\n",
                        parts, reader, coin, floor);
            if (coin > 0)
                std::printf("reader / Coin  = %.2f (target >= 2)\n", reader / coin);
            if (floor > 0)
                std::printf("reader / floor = %.2f (target >= 0.5)\n", reader / floor);
        }
    }

private:
    std::map<int, std::map<std::string, double>> megabytesPerSecond;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
