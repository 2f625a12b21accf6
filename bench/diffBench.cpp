// mmftool diff's work on two generated sets of 10,000 models, the second with every mean and
// variance moved a little (so every component is measured in full): both read and the whole
// report made, beside the reads of both alone, timed in the same run. The counter
// overReading is the diff's time over the reads'; the target is at most 3. Text and binary
// macro files, and a set against its model file.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "export/modelFileReader.h"
#include "hmm/macroClass.h"
#include "hmm/setIO.h"
#include "mmftool/diff.h"
#include "setGenerator.h"

namespace {

constexpr int MODELS = 10000;

struct diffFiles {
    std::string a, b;
};

// The two sets in the given extension ("mac", "macb"), or a set and the model file of the
// other ("mod"); generated once and kept in the temporary folder between runs.
diffFiles filesOf(const std::string &extension)
{
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("mac2mod-bench-diff-v1-" + std::to_string(MODELS))).string();
    if (!std::filesystem::exists(dir + "/b.mod")) {
        std::filesystem::create_directories(dir);
        std::vector<std::string> names = writeTextSet(dir + "/a.mac", MODELS);
        writeNameTable(dir + "/ModelNames.txt", names, false);
        macroClass set;
        set.readTextMacro((dir + "/a.mac").c_str());
        set.writeBinaryMacro((dir + "/a.macb").c_str());
        for (int m = 0; m < set.MMF.modelNum; m++)
            for (hmmState &state : set.MMF.model[m].state)
                for (hmmMixture &mixture : state.stream[0].mixture)
                    for (int v = 0; v < MAX_PARAM_NUM; v++) {
                        mixture.mean[v] += 0.001f * static_cast<float>(v % 7 - 3);
                        mixture.variance[v] *= 1.001f;
                    }
        set.writeTextMacro((dir + "/b.mac").c_str());
        set.writeBinaryMacro((dir + "/b.macb").c_str());
        mac2mod::writeModelFile(set, dir + "/ModelNames.txt", dir + "/b.mod");
    }
    if (extension == "mod")
        return {dir + "/a.macb", dir + "/b.mod"};
    return {dir + "/a." + extension, dir + "/b." + extension};
}

double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The reads alone, the median of three.
double readSeconds(const diffFiles &files)
{
    std::vector<double> times;
    for (int k = 0; k < 3; k++) {
        auto start = std::chrono::steady_clock::now();
        mac2mod::diffSide a = mac2mod::diffSide::read(files.a);
        mac2mod::diffSide b = mac2mod::diffSide::read(files.b);
        times.push_back(seconds(start));
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

void diffSets(benchmark::State &state, const std::string &extension)
{
    const diffFiles files = filesOf(extension);
    mac2mod::diffOptions options;
    if (extension == "mod")
        options.table = std::filesystem::path(files.a).parent_path().string() + "/ModelNames.txt";
    double total = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        mac2mod::diffSide a = mac2mod::diffSide::read(files.a);
        mac2mod::diffSide b = mac2mod::diffSide::read(files.b);
        nlohmann::ordered_json report = mac2mod::diff(a, b, options);
        benchmark::DoNotOptimize(report);
        const double taken = seconds(start);
        state.SetIterationTime(taken);
        total += taken;
    }
    state.counters["overReading"] = total / static_cast<double>(state.iterations()) / readSeconds(files);
}

}  // namespace

BENCHMARK_CAPTURE(diffSets, text, std::string("mac"))->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(diffSets, binary, std::string("macb"))->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(diffSets, setAndModelFile, std::string("mod"))
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
