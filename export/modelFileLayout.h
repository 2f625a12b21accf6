// The model file's fields in file order, walked by the writer (which supplies every value)
// and by the reader (which takes and checks them), so the two cannot drift apart. Every value
// is a little-endian float32, counts included. For a set of "sil" and one model "a", V = 2, a
// "sil" state of one mixture and one state of two mixtures in "a" (68 bytes):
//
//   value  0   1.0                 models after "sil"
//          1   2.0                 vector size V
//          2   1.0                 "sil": mixture count M of its first emitting state,
//          3   w * 1e7             M scaled weights, M log weights,
//          4   ln w                then per mixture V means and V variances
//          5   m0 m1 v0 v1
//          9   1.0                 "a": emitting state count
//         10   2.0                 its state: M = 2,
//         11   w1 * 1e5, w2 * 1e5, ln w1, ln w2, then the means and variances
//
// Only each state's first stream is written; the models after "sil" come in table order.
#pragma once

#include <climits>

#include "hmm/macroClass.h"
#include "hmm/setLimits.h"

namespace modelFileLayout {

enum countField { modelsAfterSil, vectorSize, stateCount, mixtureCount };

// The scaled weights are the mixture weights times these: "sil"'s, and every other record's.
constexpr float silWeightScale = 10000000.0f;
constexpr float weightScale = 100000.0f;
inline float weightScaleOf(int record)
{
    return record == 0 ? silWeightScale : weightScale;
}

// A channel has:
//   int count(countField field, int lo, int hi)  the next value, a whole number in [lo, hi]
//   void record(int j)                           record j begins (0 is "sil")
//   void mixtures(int m, int vecSize)            the rest of a state of m mixtures:
//                                                m (2 + 2 vecSize) values

template <class Channel>
void state(Channel &io, int vecSize)
{
    int m = io.count(mixtureCount, 0, capacityOf(capacity::mixtures));
    io.mixtures(m, vecSize);
}

// Values per state of m mixtures, the count included.
inline long stateValues(int m, int vecSize)
{
    return 1 + static_cast<long>(m) * (2 + 2 * vecSize);
}

// The header and the "sil" record; returns the number of models after "sil".
template <class Channel>
int header(Channel &io, int &vecSize)
{
    int after = io.count(modelsAfterSil, 0, INT_MAX - 1);
    vecSize = io.count(vectorSize, 1, capacityOf(capacity::vectorSize));
    io.record(0);
    state(io, vecSize);
    return after;
}

// Record j (1 and up): its emitting state count, then each state.
template <class Channel>
void record(Channel &io, int j, int vecSize)
{
    io.record(j);
    int states = io.count(stateCount, 0, capacityOf(capacity::states) - 2);   // emitting states only
    for (int e = 0; e < states; e++)
        state(io, vecSize);
}

}  // namespace modelFileLayout
