// The untying of a stream: its components as HTK's loader keeps them, each Gaussian resolved
// into its record; and the shared states, packed to their kept components.
#include "htk/htkUntie.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "htk/htkReader.h"

namespace mac2mod::htk {

namespace {

// The Gaussian's constant as HTK computes it: in single precision (htk-mmf.md, section 8.1).
float computeGconst(const float *variance, int n)
{
    float sum = static_cast<float>(n * std::log(6.28318530717959));
    for (int i = 0; i < n; i++)
        sum += variance[i] <= 2.45e-308 ? -1.0e10f : static_cast<float>(std::log(static_cast<double>(variance[i])));
    return sum;
}

// The first n values (at most what a record holds), the rest of the record's vector zero.
void copyVector(const float *values, int n, float *out)
{
    const int held = std::min(n, MAX_PARAM_NUM);
    std::copy(values, values + held, out);
    std::fill(out + held, out + MAX_PARAM_NUM, 0.0f);
}

}  // namespace

// The references resolved and the constants computed, counted for every Gaussian the files
// give, kept or not.
void untier::countUses(const gaussianDef &g)
{
    if (g.mixture >= 0) {
        summary_.inlinedMixtures++;
        return;
    }
    summary_.inlinedMeans += g.mean >= 0 ? 1 : 0;
    summary_.inlinedVariances += g.variance >= 0 ? 1 : 0;
    summary_.computedGconsts += g.gconstGiven ? 0 : 1;
}

// The Gaussian into out, its weight untouched.
void untier::resolve(const gaussianDef &g, hmmMixture &out) const
{
    if (g.mixture >= 0) {
        const float weight = out.mixtureWeight;
        out = gaussians_[g.mixture].mixture;
        out.mixtureWeight = weight;
        return;
    }
    copyVector(g.mean >= 0 ? means_[g.mean].values : g.meanValues, g.n, out.mean);
    copyVector(g.variance >= 0 ? variances_[g.variance].values : g.varianceValues, g.n, out.variance);
    out.gconst = g.gconstGiven ? g.gconst : computeGconst(out.variance, std::min(g.n, MAX_PARAM_NUM));
}

// The components to keep into order_, by number, the last given of each number; returns how
// many there are.
int untier::numberOrder(const streamDef &stream)
{
    const std::vector<componentDef> &all = stream.components;
    const int n = static_cast<int>(all.size());
    order_.resize(n);
    bool rising = true;
    for (int k = 0; k < n; k++) {
        order_[k] = k;
        rising = rising && (k == 0 || all[k - 1].number < all[k].number);
    }
    if (rising)
        return n;
    // Later first, so that a stable sort by number puts a number's last component first.
    std::reverse(order_.begin(), order_.end());
    std::stable_sort(order_.begin(), order_.end(), [&all](int a, int b) { return all[a].number < all[b].number; });
    order_.erase(std::unique(order_.begin(), order_.end(),
                             [&all](int a, int b) { return all[a].number == all[b].number; }),
                 order_.end());
    return static_cast<int>(order_.size());
}

void untier::stream(const source &in, const streamDef &stream)
{
    for (const componentDef &c : stream.components)
        countUses(c.gaussian);
    const int present = numberOrder(stream);
    hmmStream &out = state_->stream[stream.stream];
    int kept = 0;
    for (int k : order_) {
        const componentDef &c = stream.components[k];
        if (c.weight <= DEFUNCT_WEIGHT)
            continue;
        if (!withinCapacity(capacity::mixtures, kept + 1)) {
            const long all = std::count_if(order_.begin(), order_.end(), [&stream](int j) {
                return stream.components[j].weight > DEFUNCT_WEIGHT;
            });
            exceed(in, stream.offset, limit::components,
                   capacityExceeded(capacity::mixtures, formatted("%s, stream %d", stream.where, stream.stream + 1), all));
            break;
        }
        hmmMixture &slot = out.mixture[kept++];
        slot.mixtureWeight = c.weight;
        resolve(c.gaussian, slot);
    }
    summary_.zeroWeightComponents += present - kept;
    if (present < stream.numMixes)
        summary_.prunedComponents += stream.numMixes - present;
    out.mixtureNum = kept;
    // The converter's reader gives a stream of one component the weight 1.0, so the three
    // outputs agree only so; HTK would keep the weight. Counted for the summary.
    if (kept == 1 && out.mixture[0].mixtureWeight != 1.0f) {
        summary_.weightsSetToOne++;
        summary_.largestWeightChange = std::max(summary_.largestWeightChange, 1.0f - out.mixture[0].mixtureWeight);
        out.mixture[0].mixtureWeight = 1.0f;
    }
}

untier::stateMacro untier::pack(const hmmState &state)
{
    stateMacro macro{};
    macro.first = statePool_.size();
    for (int s = 0; s < options_.streamNum; s++) {
        macro.streamWeight[s] = state.streamWeight[s];
        macro.mixtureNum[s] = state.stream[s].mixtureNum;
        statePool_.insert(statePool_.end(), state.stream[s].mixture, state.stream[s].mixture + macro.mixtureNum[s]);
    }
    return macro;
}

// Into a record as a state read in place leaves one: nothing but the kept components and the
// weights.
void untier::unpack(const stateMacro &macro, hmmState &state) const
{
    state = hmmState{};
    const hmmMixture *next = statePool_.data() + macro.first;
    for (int s = 0; s < options_.streamNum; s++) {
        state.streamWeight[s] = macro.streamWeight[s];
        state.stream[s].mixtureNum = macro.mixtureNum[s];
        std::copy(next, next + macro.mixtureNum[s], state.stream[s].mixture);
        next += macro.mixtureNum[s];
    }
}

}  // namespace mac2mod::htk
