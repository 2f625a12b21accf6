// The parts of mmftool diff behind diff.h: each side as the comparison walks it, the walk,
// and what it finds, before the report is made of it.
#pragma once

#include <string>
#include <vector>

#include "mmftool/diff.h"

namespace mac2mod::diffing {

// A component's values; mean and variance hold the stream's vector size.
struct gaussian {
    double weight, logWeight;
    const float *mean, *variance;
};

// One side: a set, all streams and transitions, or a model file, one stream and no
// transitions. States are numbered from 0 over the emitting ones, models in side order.
class view {
public:
    view() = default;
    view(const hmmSet &set);
    view(const modelFile &file, std::vector<std::string> names);

    int modelNum() const { return static_cast<int>(names_.size()); }
    const std::string &name(int m) const { return names_[m]; }
    int streamNum() const { return set_ ? set_->streamNum : 1; }
    int vecSize(int s) const { return set_ ? set_->vecSize[s] : file_->vecSize; }
    int emittingStates(int m) const;
    int mixtures(int m, int e, int s) const;
    bool hasTransitions() const { return set_ != nullptr; }
    // Row and column r stand for state r + 1, as HTK numbers them.
    float transition(int m, int r, int c) const { return set_->model[m].transProb[r][c]; }
    // A model file's values are copied into buffer (2 * MAX_PARAM_NUM floats).
    gaussian component(int m, int e, int s, int k, float *buffer) const;

private:
    const hmmSet *set_ = nullptr;
    const modelFile *file_ = nullptr;
    std::vector<std::string> names_;
};

// The two sides as compared: a set facing a model file is encoded into encoded[0] or [1],
// which the views then point into (so this is filled in place and never moved).
struct sides {
    modelFile encoded[2];
    view views[2];
};
void prepareSides(const diffSide &a, const diffSide &b, const diffOptions &options, sides &out);

enum measure { meanShift, logVariance, weightShift, logWeightShift, divergence, transitionShift, measureCount };

// Where a measure was taken: state from 2 as HTK numbers them, stream, component and
// dimension from 1 (0: not part of the place). A transition's place is its row (from) and
// column (to), both as state numbers.
struct place {
    int modelA = 0, modelB = 0;
    int state = 0, stream = 0, component = 0, dimension = 0;
    int from = 0, to = 0;
};

// value NaN: undefined, the values differ and the measure has no finite value.
struct entry {
    double value;
    place at;
};

struct shapeDifference {
    int modelA, modelB;
    const char *field;   // "states" or "mixtures"
    int state, stream;   // for "mixtures"
    int a, b;
};

struct setDifference {
    const char *field;   // "streams" or "vectorSize"
    int stream;          // for "vectorSize", from 1
    int a, b;
};

struct profileCell {
    double meanSquares = 0, logVarianceSquares = 0;
    long meanCount = 0, logVarianceCount = 0;
};

struct result {
    std::vector<setDifference> setStructure;   // when not empty, no model is compared
    std::vector<int> onlyInA, onlyInB;         // model indices, in side order
    std::vector<shapeDifference> shapes;
    long modelsCompared = 0, components = 0, transitions = 0;
    long componentsBeyond = 0, transitionsBeyond = 0, undefined = 0;
    std::vector<entry> worst[measureCount];    // worst first, at most top of each
    std::vector<std::vector<profileCell>> profile;   // per stream, per dimension
};

result compare(const view &a, const view &b, const diffOptions &options);

const char *measureName(measure m);

}  // namespace mac2mod::diffing
