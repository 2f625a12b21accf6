#include "hmm/modelArray.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <sys/mman.h>
#include <unistd.h>

#include "utility/error.h"

hmmModel *allocateModels(int modelNum)
{
    hmmModel *model = static_cast<hmmModel *>(std::calloc(modelNum, sizeof(hmmModel)));
    if (!model && modelNum > 0)
        mac2mod::raisef(1, "Error: cannot allocate memory for %d models\n", modelNum);
    return model;
}

namespace {

// Below this the thread would cost about what it saves.
constexpr size_t SMALLEST_PREFAULTED = 8u << 20;
// Bytes populated per call: the thread stops within about one chunk of the reader.
constexpr uintptr_t CHUNK = 1u << 20;

uintptr_t pageBelow(const void *address)
{
    static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    return reinterpret_cast<uintptr_t>(address) & ~(page - 1);
}

// Maps the pages in as a write would, without writing. False where the kernel does not
// know the advice; the reader then takes every page fault itself.
bool populate(uintptr_t begin, size_t size)
{
#ifdef MADV_POPULATE_WRITE
    return madvise(reinterpret_cast<void *>(begin), size, MADV_POPULATE_WRITE) == 0;
#else
    (void)begin;
    (void)size;
    return false;
#endif
}

}  // namespace

modelArrayPrefaulter::modelArrayPrefaulter(hmmModel *model, int modelNum)
{
    if (!model || static_cast<size_t>(modelNum) * sizeof(hmmModel) < SMALLEST_PREFAULTED)
        return;
    try {
        thread_ = std::thread([this, model, modelNum] { populateFromEnd(model, modelNum); });
    } catch (const std::system_error &) {
        // no second thread: the reader takes every page fault itself
    }
}

modelArrayPrefaulter::~modelArrayPrefaulter()
{
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable())
        thread_.join();
}

void modelArrayPrefaulter::populateFromEnd(hmmModel *model, int modelNum)
{
    uintptr_t end = pageBelow(model + modelNum);
    while (!stop_.load(std::memory_order_relaxed)) {
        // Pages the reader will reach within a chunk are left to it.
        const int reader = reached_.load(std::memory_order_relaxed);
        if (end < reinterpret_cast<uintptr_t>(model + reader + 1) + CHUNK)
            return;
        if (!populate(end - CHUNK, CHUNK))
            return;
        end -= CHUNK;
    }
}
