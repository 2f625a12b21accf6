// The whole conversion of generated sets (read, match the table, write the model file), beside
// the plain read of the same file's bytes, as cat does it, timed in the same run: the counter
// xCat is the conversion's time over that read's. The literal fscanf reader is the baseline of
// the text reader: refOverThis is its time (with the same model file writer after it, for a
// conversion) over ours.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

#include "export/modelFileWriter.h"
#include "hmm/macroClass.h"
#include "hmm/textMacroReader.h"
#include "referenceReader.h"
#include "setGenerator.h"

namespace {

struct generatedSet {
    std::string dir, text, binary, table, shuffledTable, output;
};

// Generated once per size and kept in the temporary folder between runs.
const generatedSet &setOf(int modelNum)
{
    static std::vector<std::pair<int, generatedSet>> made;
    for (const auto &entry : made)
        if (entry.first == modelNum)
            return entry.second;
    generatedSet set;
    set.dir = (std::filesystem::temp_directory_path() / ("mac2mod-bench-v1-" + std::to_string(modelNum))).string();
    set.text = set.dir + "/set.mac";
    set.binary = set.dir + "/set.macb";
    set.table = set.dir + "/ModelNames.txt";
    set.shuffledTable = set.dir + "/ModelNames-shuffled.txt";
    set.output = set.dir + "/set.mod";
    if (!std::filesystem::exists(set.shuffledTable)) {
        std::filesystem::create_directories(set.dir);
        std::vector<std::string> names = writeTextSet(set.text, modelNum);
        macroClass macro;
        macro.readTextMacro(set.text.c_str());
        macro.writeBinaryMacro(set.binary.c_str());
        writeNameTable(set.table, names, false);
        writeNameTable(set.shuffledTable, names, true);
    }
    made.emplace_back(modelNum, set);
    return made.back().second;
}

double secondsOf(void (*work)(const std::string &), const std::string &path)
{
    auto start = std::chrono::steady_clock::now();
    work(path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// cat's work: every byte read once through a buffer.
void readBytes(const std::string &path)
{
    static std::vector<char> buffer(128 << 10);
    int fd = open(path.c_str(), O_RDONLY);
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    close(fd);
}

// The median of five plain reads, taken beside each benchmark.
double catSeconds(const std::string &path)
{
    std::vector<double> times;
    for (int k = 0; k < 5; k++)
        times.push_back(secondsOf(readBytes, path));
    std::sort(times.begin(), times.end());
    return times[2];
}

// Runs work once per iteration, after prepare (not timed); returns the mean seconds of one.
template <class Prepare, class Work>
double timed(benchmark::State &state, const std::string &input, Prepare prepare, Work work)
{
    double total = 0;
    for (auto _ : state) {
        prepare();
        auto start = std::chrono::steady_clock::now();
        work();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(input));
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetItemsProcessed(state.range(0) * state.iterations());
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["xCat"] = mean / catSeconds(input);
    return mean;
}

// With replacing 0, the model file of the run before is removed first: the conversion then
// writes a new file instead of replacing one whose pages were written a moment ago (freeing
// those costs the replacing run 35 ms or so at 10,000 models; less once they are on disk).
void removeOutputUnless(bool replacing, const generatedSet &set)
{
    if (!replacing)
        std::filesystem::remove(set.output);
}

// The time of a whole read by the literal fscanf reader, with the model file written after
// it when table is given.
double referenceSeconds(const generatedSet &set, const std::string *table, bool replacing = true)
{
    removeOutputUnless(replacing, set);
    auto start = std::chrono::steady_clock::now();
    hmmSet macro{};
    referenceReadTextMacro(macro, set.text.c_str());
    if (table)
        writeModelFileOf(macro, table->c_str(), set.output.c_str());
    std::free(macro.model);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void convertText(benchmark::State &state)
{
    const generatedSet &set = setOf(static_cast<int>(state.range(0)));
    const std::string &table = state.range(1) ? set.shuffledTable : set.table;
    const bool replacing = state.range(2) != 0;
    double seconds = timed(state, set.text, [&] { removeOutputUnless(replacing, set); }, [&] {
        macroClass macro;
        macro.readTextMacro(set.text.c_str());
        writeModelFileOf(macro.MMF, table.c_str(), set.output.c_str());
    });
    state.counters["refOverThis"] = referenceSeconds(set, &table, replacing) / seconds;
}

void convertBinary(benchmark::State &state)
{
    const generatedSet &set = setOf(static_cast<int>(state.range(0)));
    const bool replacing = state.range(1) != 0;
    timed(state, set.binary, [&] { removeOutputUnless(replacing, set); }, [&] {
        macroClass macro;
        macro.readBinaryMacro(set.binary.c_str());
        writeModelFileOf(macro.MMF, set.table.c_str(), set.output.c_str());
    });
}

// The text reader alone, with the literal fscanf reader timed beside it.
void readText(benchmark::State &state)
{
    const generatedSet &set = setOf(static_cast<int>(state.range(0)));
    const int pieces = static_cast<int>(state.range(1));
    double seconds = timed(state, set.text, [] {}, [&] {
        hmmSet macro{};
        readTextMacroFile(macro, set.text.c_str(), pieces);
        std::free(macro.model);
    });
    state.counters["refOverThis"] = referenceSeconds(set, nullptr) / seconds;
}

}  // namespace

BENCHMARK(convertText)->ArgsProduct({{1000, 10000}, {0, 1}, {1}})->Args({10000, 0, 0})
    ->ArgNames({"models", "shuffled", "replacing"})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(convertBinary)->ArgsProduct({{1000, 10000}, {1}})->Args({10000, 0})
    ->ArgNames({"models", "replacing"})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(readText)->ArgsProduct({{1000, 10000}, {1, 0}})->ArgNames({"models", "pieces"})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
