// The two text writers on the 10,000-model benchmark set: the converter's form ("%e") and the
// exact form ("%.9g") each written from memory, beside reading the written file back with the
// text reader, timed in the same run. The counters converterOverRead and exactOverRead are the
// writes' times over the read's: the target is at most 3 for both.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "hmm/setIO.h"
#include "htk/exactTextMacro.h"
#include "setGenerator.h"

namespace {

template <class F>
double secondsOf(F work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void writeTextForms(benchmark::State &state)
{
    const int modelNum = static_cast<int>(state.range(0));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("mac2mod-bench-v1-" + std::to_string(modelNum));
    const std::string source = (dir / "set.mac").string();
    const std::string converter = (dir / "written.mac").string(), exact = (dir / "exact.mac").string();
    if (!std::filesystem::exists(source)) {
        std::filesystem::create_directories(dir);
        writeTextSet(source, modelNum);
    }
    macroClass set;
    mac2mod::readSet(set, source);
    double read = 0, write = 0, writeExact = 0;
    for (auto _ : state) {
        const double w = secondsOf([&] { mac2mod::writeSet(set, converter); });
        const double e = secondsOf([&] { mac2mod::writeExactTextMacro(set, exact); });
        macroClass back;
        const double r = secondsOf([&] { mac2mod::readSet(back, converter); });
        write += w;
        writeExact += e;
        read += r;
        state.SetIterationTime(w + e + r);
    }
    state.counters["readMs"] = 1000 * read / state.iterations();
    state.counters["converterMs"] = 1000 * write / state.iterations();
    state.counters["exactMs"] = 1000 * writeExact / state.iterations();
    state.counters["converterOverRead"] = write / read;
    state.counters["exactOverRead"] = writeExact / read;
    std::filesystem::remove(converter);
    std::filesystem::remove(exact);
}

}  // namespace

BENCHMARK(writeTextForms)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();
