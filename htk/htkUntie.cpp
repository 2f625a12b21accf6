// The untying's model array, its capacity checks, its shared parts and the set it fills.
#include "htk/htkUntie.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mac2mod::htk {

namespace {

// The model array grown from oldCount to newCount records, the new ones zero-filled, as a
// reader allocates them (the pages not yet touched cost nothing).
hmmModel *grow(hmmModel *old, size_t oldCount, size_t newCount)
{
    hmmModel *fresh = static_cast<hmmModel *>(std::calloc(newCount, sizeof(hmmModel)));
    if (!fresh)
        throw error("importHtk: out of memory for the models\n", 1);
    if (old)
        std::memcpy(fresh, old, oldCount * sizeof(hmmModel));
    std::free(old);
    return fresh;
}

}  // namespace

untier::untier(htkImportSummary &summary, size_t modelBound, int likelyModels)
    : summary_(summary), model_(grow(nullptr, 0, modelBound)), capacity_(modelBound)
{
    prefaulter_.emplace(model_.get(), likelyModels);
}

void untier::counted(const source &in, long offset, count what, long n, const std::string &subject)
{
    switch (what) {
    case count::streams:
        // The options hold no more streams than the set: refused where read.
        if (!withinCapacity(capacity::streams, n))
            in.fail(offset, "%s", capacityExceeded(capacity::streams, subject, n).c_str());
        break;
    case count::vectorSize:
        if (!withinCapacity(capacity::vectorSize, n))
            exceed(in, offset, limit::vectorSize, capacityExceeded(capacity::vectorSize, subject, n));
        break;
    case count::vecSize:
        if (n > capacityOf(capacity::vectorSize) * capacityOf(capacity::streams))
            in.fail(offset, "%s", capacityExceeded(capacity::vectorSize, subject, n).c_str());
        break;
    case count::nameLength:
        if (!withinCapacity(capacity::nameLength, n))
            exceed(in, offset, limit::nameLength, capacityExceeded(capacity::nameLength, subject, n));
        break;
    case count::modelStates:
    case count::matrixStates:
        if (!withinCapacity(capacity::states, n))
            exceed(in, offset, limit::states, capacityExceeded(capacity::states, subject, n));
        break;
    }
}

void untier::exceed(const source &in, long offset, limit kind, const std::string &text)
{
    breach &b = breaches_[static_cast<int>(kind)];
    if (b.places++ > 0)
        return;
    b.first = in.refusal(offset, text);
    b.order = kindsBroken_++;
}

error untier::limitsRefusal(const error *stop) const
{
    const breach *inOrder[LIMIT_KINDS] = {};
    for (const breach &b : breaches_)
        if (b.places)
            inOrder[b.order] = &b;
    std::string message;
    for (int k = 0; k < kindsBroken_; k++) {
        std::string line = inOrder[k]->first->message();
        if (inOrder[k]->places > 1)
            line.insert(line.size() - 1, " (the first of " + std::to_string(inOrder[k]->places) + " places)");
        message += line;
    }
    if (stop)
        message += stop->message();
    const error &e = *inOrder[0]->first;
    error out(message, e.status());
    out.at(e.file(), e.offset());
    if (e.line())
        out.atLine(e.line(), e.column());
    return out;
}

// The record for the next model, the array grown by a doubling when it is full.
hmmModel &untier::nextModel()
{
    if (prefaulter_)
        prefaulter_->reached(modelNum_);
    if (static_cast<size_t>(modelNum_) == capacity_) {
        prefaulter_.reset();
        size_t fresh = capacity_ ? capacity_ * 2 : 64;
        model_.reset(grow(model_.release(), capacity_, fresh));
        capacity_ = fresh;
    }
    return model_.get()[modelNum_];
}

// A name or states past the capacity have been counted: the record keeps what it holds.
void untier::modelBegins(const std::string &name, int numStates)
{
    current_ = &nextModel();
    std::memcpy(current_->str, name.c_str(), std::min<size_t>(name.size(), capacityOf(capacity::nameLength)));
    current_->stateNum = numStates;
}

void untier::stateBegins(const stateDef &state)
{
    if (state.number == 0)
        state_ = &body_;
    else
        state_ = withinCapacity(capacity::states, state.number + 1) ? &current_->state[state.number - 2] : &spare_;
    if (state.shared >= 0) {
        unpack(states_[state.shared], *state_);
        summary_.inlinedStates++;
        return;
    }
    const float *weights = state.weightValues;
    if (state.weights >= 0) {
        weights = weights_[state.weights].values;
        summary_.inlinedWeights++;
    }
    std::memcpy(state_->streamWeight, weights, sizeof(float) * options_.streamNum);
}

void untier::stateEnds()
{
    if (state_ == &body_)
        states_.push_back(pack(body_));
}

void untier::transition(const transDef &matrix, int shared)
{
    const transDef &from = shared >= 0 ? transitions_[shared] : matrix;
    if (shared >= 0)
        summary_.inlinedTransitions++;
    std::memcpy(current_->transProb, from.values, sizeof current_->transProb);
}

void untier::sharedVector(char letter, const vectorDef &vector)
{
    (letter == 'u' ? means_ : variances_).push_back(vector);
}

void untier::sharedGaussian(const gaussianDef &gaussian)
{
    countUses(gaussian);
    gaussianMacro body{};
    body.n = gaussian.n;
    resolve(gaussian, body.mixture);
    gaussians_.push_back(body);
}

void untier::skipped(skip what)
{
    if (what == skip::duration)
        summary_.skippedDurations++;
    else
        summary_.skippedMacros++;
}

void untier::finish(macroClass &set, int files, int binaryFiles, int unreferencedMacros)
{
    summary_.files = files;
    summary_.binaryFiles = binaryFiles;
    summary_.unreferencedMacros = unreferencedMacros;
    summary_.models = modelNum_;
    summary_.streams = options_.streamNum;
    hmmModel *models = model_.get();
    for (int m = 0; m < modelNum_; m++)
        for (int e = 0; e < models[m].stateNum - 2; e++) {
            summary_.states++;
            for (int s = 0; s < options_.streamNum; s++)
                summary_.components += models[m].state[e].stream[s].mixtureNum;
        }

    set.MMF.modelNum = modelNum_;
    set.MMF.streamNum = options_.streamNum;
    for (int s = 0; s < MAX_STREAM_NUM; s++)
        set.MMF.vecSize[s] = s < options_.streamNum ? options_.width[s] : 0;
    static const char *const durations[] = {"NULLD", "POISSOND", "GAMMAD", "RELD", "GEND"};
    int dur = options_.durKind >= NULLD && options_.durKind <= GEND ? options_.durKind - NULLD : 0;
    std::snprintf(set.MMF.globalOption, sizeof set.MMF.globalOption, "<VECSIZE> %d<%s><%s><DIAGC>",
                  options_.vecSize, durations[dur], options_.parmKind.c_str());
    prefaulter_.reset();
    set.MMF.model = model_.release();
}

}  // namespace mac2mod::htk
