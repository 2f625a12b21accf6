// The one heap block of a set: modelNum zero-filled model records.
#pragma once

#include <atomic>
#include <thread>

#include "hmm/macroClass.h"

// calloc of the array, or an error of status 1 when the memory is not there.
hmmModel *allocateModels(int modelNum);

// Makes the pages of a fresh, large model array resident on a second thread, from the
// array's end towards its front, while a reader fills it from the front. The first touch of
// a page costs more than reading what goes into it; this way the two ends take their page
// faults on two cores. Populating maps zero-filled pages in without writing to them, so it
// may overlap the reader's own writes. It stops where the reader has arrived, or when it is
// destroyed, which must happen before the array is released.
class modelArrayPrefaulter {
public:
    modelArrayPrefaulter(hmmModel *model, int modelNum);
    ~modelArrayPrefaulter();
    modelArrayPrefaulter(const modelArrayPrefaulter &) = delete;
    modelArrayPrefaulter &operator=(const modelArrayPrefaulter &) = delete;

    // The reader is at model modelId: the thread leaves the pages just ahead of it alone.
    void reached(int modelId) { reached_.store(modelId, std::memory_order_relaxed); }

private:
    void populateFromEnd(hmmModel *model, int modelNum);

    std::atomic<int> reached_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
