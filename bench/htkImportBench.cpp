// The HTK import of the 10,000-model benchmark set, in HTK's text form (transitions as ~t
// macros, <NUMMIXES> without <SWEIGHTS>) and in its binary form (-B), each into the model
// file, beside mac2mod's conversion of the subset form of the same set (text .mac for the
// text form, .macb for the binary), timed in the same run. The counter overMac2mod is the
// import's time over the converter's: the targets are at most 1.5 for text and at most 1.0
// for binary.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/modelFileWriter.h"
#include "hmm/macroClass.h"
#include "hmm/setIO.h"
#include "htk/htkImport.h"
#include "htk/htkObserver.h"
#include "setGenerator.h"
#include "../tests/htkWriter.h"

namespace {

struct htkSet {
    std::string dir, subsetText, subsetBinary, htkText, htkBinary, table, output;
};

// The set of conversionBench (the same folder and files), and its two HTK forms beside it.
const htkSet &htkSetOf(int modelNum)
{
    static std::vector<std::pair<int, htkSet>> made;
    for (const auto &entry : made)
        if (entry.first == modelNum)
            return entry.second;
    htkSet set;
    set.dir = (std::filesystem::temp_directory_path() / ("mac2mod-bench-v1-" + std::to_string(modelNum))).string();
    set.subsetText = set.dir + "/set.mac";
    set.subsetBinary = set.dir + "/set.macb";
    set.table = set.dir + "/ModelNames.txt";
    set.htkText = set.dir + "/htk-text.mmf";
    set.htkBinary = set.dir + "/htk-binary.mmf";
    set.output = set.dir + "/htk.mod";
    std::filesystem::create_directories(set.dir);
    if (!std::filesystem::exists(set.table)) {
        std::vector<std::string> names = writeTextSet(set.subsetText, modelNum);
        writeNameTable(set.table, names, false);
        writeNameTable(set.dir + "/ModelNames-shuffled.txt", names, true);
        macroClass macro;
        mac2mod::readSet(macro, set.subsetText);
        mac2mod::writeSet(macro, set.subsetBinary);
    }
    if (!std::filesystem::exists(set.htkBinary)) {
        macroClass macro;
        mac2mod::readSet(macro, set.subsetText);
        htkForm form;
        form.kind = "MFCC_D_A_0";
        writeHtk(macro.MMF, set.htkText, form);
        form.binary = true;
        writeHtk(macro.MMF, set.htkBinary, form);
    }
    made.emplace_back(modelNum, set);
    return made.back().second;
}

template <class Work>
double secondsOf(Work work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The import and, alternating with it, the converter on the subset form: each iteration
// times both; the counter is the ratio of their medians.
void importBench(benchmark::State &state, bool binary)
{
    const htkSet &set = htkSetOf(static_cast<int>(state.range(0)));
    const std::string &input = binary ? set.htkBinary : set.htkText;
    const std::string &subset = binary ? set.subsetBinary : set.subsetText;
    std::vector<double> ours, theirs;
    for (auto _ : state) {
        double seconds = secondsOf([&] {
            macroClass macro;
            mac2mod::importHtk(macro, {input});
            mac2mod::writeModelFile(macro, set.table, set.output);
        });
        state.SetIterationTime(seconds);
        ours.push_back(seconds);
        theirs.push_back(secondsOf([&] {
            macroClass macro;
            mac2mod::readSet(macro, subset);
            mac2mod::writeModelFile(macro, set.table, set.output);
        }));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    state.counters["mac2modMs"] = theirs[theirs.size() / 2] * 1000;
    state.counters["overMac2mod"] = ours[ours.size() / 2] / theirs[theirs.size() / 2];
    state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(input)) * state.iterations());
}

// What an observer costs the import (mmftool's import and check give one for the lint): the
// import told every value's place, alternating with the import alone; the counter is the
// ratio of their medians.
class countingObserver : public mac2mod::htkObserver {
public:
    void vector(int, bool, const std::string &, fieldKind, const float *values, const long *, int n) override
    {
        for (int k = 0; k < n; k++)
            told += values[k] <= 0;
    }
    void weights(int, bool, long, const std::string &, double) override {}
    void used(const std::string &) override {}
    long told = 0;
};

void observedBench(benchmark::State &state, bool binary)
{
    const htkSet &set = htkSetOf(static_cast<int>(state.range(0)));
    const std::string &input = binary ? set.htkBinary : set.htkText;
    std::vector<double> observed, plain;
    for (auto _ : state) {
        countingObserver observer;
        double seconds = secondsOf([&] {
            macroClass macro;
            mac2mod::htkImportSummary summary;
            mac2mod::importHtk(macro, {input}, summary, &observer);
        });
        benchmark::DoNotOptimize(observer.told);
        state.SetIterationTime(seconds);
        observed.push_back(seconds);
        plain.push_back(secondsOf([&] {
            macroClass macro;
            mac2mod::importHtk(macro, {input});
        }));
    }
    std::sort(observed.begin(), observed.end());
    std::sort(plain.begin(), plain.end());
    state.counters["overUnobserved"] = observed[observed.size() / 2] / plain[plain.size() / 2];
}

void importHtkText(benchmark::State &state) { importBench(state, false); }
void importHtkBinary(benchmark::State &state) { importBench(state, true); }
void importHtkTextObserved(benchmark::State &state) { observedBench(state, false); }
void importHtkBinaryObserved(benchmark::State &state) { observedBench(state, true); }

}  // namespace

BENCHMARK(importHtkText)->Arg(10000)->ArgName("models")->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(importHtkBinary)->Arg(10000)->ArgName("models")->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(importHtkTextObserved)->Arg(10000)->ArgName("models")->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(importHtkBinaryObserved)->Arg(10000)->ArgName("models")->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
