// Ordering models by name and finding a name in the ordered set.
//
// The quicksort takes the first element of each range as its pivot and is not stable, so the
// order of models with equal names is whatever its partition steps produce; any other sort
// would order them differently. The steps run over compact copies of the names with the
// records' indices, and the records are moved once at the end: a record is about 22 KB,
// and swapping records inside the partition costs far more than the comparisons.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "hmm/macroClass.h"

namespace {

// strcmp order (bytes unsigned, a prefix first); the bound only matters for a name field
// without its terminating zero, which no reader lets in.
int compareNames(const char *a, const char *b)
{
    return std::strncmp(a, b, MAX_NAME_LEN);
}

// A name with zeros after its end, so that a comparison of whole fields, which is faster,
// gives the same order as compareNames.
struct sortEntry {
    char name[MAX_NAME_LEN];
    int index;   // where the record stands before the sort

    void set(const char *str, int at)
    {
        size_t length = strnlen(str, MAX_NAME_LEN);
        std::memcpy(name, str, length);
        std::memset(name + length, 0, MAX_NAME_LEN - length);
        index = at;
    }
};

int compareEntries(const sortEntry &a, const char *b)
{
    return std::memcmp(a.name, b, MAX_NAME_LEN);
}

// One partition of left .. right around the name at left; returns where that entry lands.
// Names equal to the pivot stop both scans and are swapped.
int partition(sortEntry *entry, int left, int right)
{
    const char *pivot = entry[left].name;   // entry[left] stays put until the last swap
    int i = left;
    int j = right + 1;
    for (;;) {
        do
            i++;
        while (compareEntries(entry[i], pivot) < 0 && i < right);
        do
            j--;
        while (compareEntries(entry[j], pivot) > 0 && j > left);
        if (i >= j)
            break;
        std::swap(entry[i], entry[j]);
    }
    std::swap(entry[left], entry[j]);
    return j;
}

// A range of strictly rising names comes out of the partition steps as it went in (each
// pivot is the smallest name and lands on itself), and one of strictly falling names comes
// out reversed (each pair of partitions puts the largest and the smallest name at the ends).
// Recognising both in one pass spares such ranges the steps' cost, which grows with the
// square of their length. Returns whether the range was one of them and is now in order.
bool orderStrictRun(sortEntry *entry, int left, int right)
{
    int first = compareEntries(entry[left], entry[left + 1].name);
    if (first == 0)
        return false;
    for (int k = left + 1; k < right; k++) {
        int next = compareEntries(entry[k], entry[k + 1].name);
        if (next == 0 || (next < 0) != (first < 0))
            return false;
    }
    if (first > 0)
        std::reverse(entry + left, entry + right + 1);
    return true;
}

// The sides of a partition are disjoint, so sorting them in either order gives the same
// result. Recursing only into the smaller side keeps the depth logarithmic even when every
// partition leaves one side empty, as on names already in order.
void quicksort(sortEntry *entry, int left, int right)
{
    while (left < right && !orderStrictRun(entry, left, right)) {
        int p = partition(entry, left, right);
        if (p - left < right - p) {
            quicksort(entry, left, p - 1);
            left = p + 1;
        } else {
            quicksort(entry, p + 1, right);
            right = p - 1;
        }
    }
}

// Puts record entry[k].index at place k for every k, moving each record once by following
// the cycles of the permutation through one spare record.
void permuteModels(hmmModel *model, std::vector<sortEntry> &entry)
{
    std::unique_ptr<hmmModel> spare;
    for (int start = 0; start < static_cast<int>(entry.size()); start++) {
        if (entry[start].index == start)
            continue;
        if (!spare)
            spare = std::make_unique<hmmModel>();
        *spare = model[start];
        int k = start;
        while (entry[k].index != start) {
            int from = entry[k].index;
            model[k] = model[from];
            entry[k].index = k;
            k = from;
        }
        model[k] = *spare;
        entry[k].index = k;
    }
}

}  // namespace

void macroClass::sortModels(int left, int right)
{
    if (left >= right)
        return;
    int n = right - left + 1;
    std::vector<sortEntry> entry(n);
    for (int k = 0; k < n; k++)
        entry[k].set(MMF.model[left + k].str, k);
    quicksort(entry.data(), 0, n - 1);
    permuteModels(MMF.model + left, entry);
}

void macroClass::swapModels(int a, int b)
{
    if (a != b)
        std::swap(MMF.model[a], MMF.model[b]);
}

// Binary search of lo .. hi in a set that sortModels ordered; with several models of the
// name it returns whichever the halving meets first. An empty range finds nothing.
int macroClass::findModel(int lo, int hi, const char *name)
{
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int order = compareNames(name, MMF.model[mid].str);
        if (order == 0)
            return mid;
        if (order > 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}
