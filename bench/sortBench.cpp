// Sorting models by name: sortModels (partition over compact name entries, records moved
// once) against the same partition steps swapping whole records, and against std::sort of
// the bare names as the baseline.
//
// Arguments: model count, name order (0 random, 1 sorted, 2 reversed, 3 sorted with every
// name twice). With the first element as pivot, the last three cost a number of comparisons
// growing with the square of the count; sortModels recognises strictly rising and falling
// ranges, but not the paired names. The record-swapping sort makes each comparison on a
// different 22 KB record, which at 100,000 models would take minutes, so it runs the three
// ordered cases at 10,000 models only. A set of 100,000 models is about 2.2 GB.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/modelArray.h"

namespace {

enum { RANDOM, SORTED, REVERSED, PAIRED };

using nameField = std::array<char, MAX_NAME_LEN>;

std::vector<nameField> namesIn(int n, int order)
{
    std::vector<int> number(n);
    std::iota(number.begin(), number.end(), 0);
    if (order == RANDOM)
        std::shuffle(number.begin(), number.end(), std::mt19937(1));
    else if (order == REVERSED)
        std::reverse(number.begin(), number.end());
    else if (order == PAIRED)
        for (int &k : number)
            k /= 2;
    std::vector<nameField> names(n);
    for (int m = 0; m < n; m++) {
        names[m].fill('\0');
        std::snprintf(names[m].data(), MAX_NAME_LEN, "model%07d", number[m]);
    }
    return names;
}

// Only the names differ between records, so writing them back restores the unsorted set.
void putNames(macroClass &set, const std::vector<nameField> &names)
{
    for (int m = 0; m < set.MMF.modelNum; m++)
        std::memcpy(set.MMF.model[m].str, names[m].data(), MAX_NAME_LEN);
}

// The partition steps of sortModels with every swap moving whole records.
void sortBySwappingRecords(macroClass &set, int left, int right)
{
    while (left < right) {
        const char *pivot = set.MMF.model[left].str;
        int i = left;
        int j = right + 1;
        for (;;) {
            do
                i++;
            while (std::strcmp(set.MMF.model[i].str, pivot) < 0 && i < right);
            do
                j--;
            while (std::strcmp(set.MMF.model[j].str, pivot) > 0 && j > left);
            if (i >= j)
                break;
            set.swapModels(i, j);
        }
        set.swapModels(left, j);
        if (j - left < right - j) {
            sortBySwappingRecords(set, left, j - 1);
            left = j + 1;
        } else {
            sortBySwappingRecords(set, j + 1, right);
            right = j - 1;
        }
    }
}

template <class Sort>
void sortSet(benchmark::State &state, Sort sort)
{
    int n = static_cast<int>(state.range(0));
    std::vector<nameField> names = namesIn(n, static_cast<int>(state.range(1)));
    macroClass set;
    set.MMF.modelNum = n;
    set.MMF.model = allocateModels(n);
    // A set that was read has all its pages in memory; a fresh calloc has none.
    std::memset(static_cast<void *>(set.MMF.model), 0, n * sizeof(hmmModel));
    for (auto _ : state) {
        state.PauseTiming();
        putNames(set, names);
        state.ResumeTiming();
        sort(set);
    }
}

void sortModels(benchmark::State &state)
{
    sortSet(state, [](macroClass &set) { set.sortModels(0, set.MMF.modelNum - 1); });
}

void recordSwapSort(benchmark::State &state)
{
    sortSet(state, [](macroClass &set) { sortBySwappingRecords(set, 0, set.MMF.modelNum - 1); });
}

void stdSortNames(benchmark::State &state)
{
    std::vector<nameField> names = namesIn(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<nameField> work = names;
        state.ResumeTiming();
        std::sort(work.begin(), work.end(), [](const nameField &a, const nameField &b) {
            return std::strcmp(a.data(), b.data()) < 0;
        });
        benchmark::DoNotOptimize(work.data());
    }
}

void everySizeAndOrder(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"models", "order"})->ArgsProduct({{10000, 100000}, {RANDOM, SORTED, REVERSED, PAIRED}});
    b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(stdSortNames)->Apply(everySizeAndOrder);
BENCHMARK(sortModels)->Apply(everySizeAndOrder);
BENCHMARK(recordSwapSort)
    ->ArgNames({"models", "order"})
    ->ArgsProduct({{10000}, {RANDOM, SORTED, REVERSED, PAIRED}})
    ->Args({100000, RANDOM})
    ->Unit(benchmark::kMillisecond);
