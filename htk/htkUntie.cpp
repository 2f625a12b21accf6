// The import's untying: the model array, each stream's components kept in the fixed record,
// the shared states packed and copied out, the set and the summary filled at the end.
#include "htk/htkImporter.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mac2mod::htk {

// Grows the model array: it is allocated zero-filled, as a reader allocates it, and only
// ever grown by a doubling (the pages not yet touched cost nothing).
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

// The record for the next model, the array grown when it is full.
hmmModel &importer::nextModel()
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

void importer::exceed(source &in, long offset, limit kind, const char *format, ...)
{
    breach &b = breaches_[static_cast<int>(kind)];
    if (b.places++ > 0)
        return;
    va_list args;
    va_start(args, format);
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    b.first = in.refusal(offset, text);
    b.order = kindsBroken_++;
}

error importer::limitsRefusal(const error *stop) const
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
    error e = *inOrder[0]->first;
    error out(message, e.status());
    out.at(e.file(), e.offset());
    if (e.line())
        out.atLine(e.line(), e.column());
    return out;
}

// The untying of one stream: its components in index order, those HTK treats as absent left
// out, the capacity enforced, a lone component given the weight 1.0; the summary counts all.
void importer::keepComponents(source &in, long streamAt, const gathered &g, hmmStream &stream, int s, int numMixes,
                              const char *where)
{
    int present = g.count;
    int kept = 0;
    if (g.spilled) {
        std::stable_sort(scratch_.begin(), scratch_.end(),
                         [](const component &a, const component &b) { return a.index < b.index; });
        present = static_cast<int>(scratch_.size());
        for (const component &c : scratch_)
            if (c.mixture.mixtureWeight > DEFUNCT_WEIGHT) {
                if (!withinCapacity(capacity::mixtures, kept + 1)) {
                    int all = 0;
                    for (const component &d : scratch_)
                        all += d.mixture.mixtureWeight > DEFUNCT_WEIGHT ? 1 : 0;
                    exceed(in, streamAt, limit::components, "%s, stream %d: %d components, more than the %d the set holds",
                           where, s + 1, all, MAX_MIXTURE_NUM);
                    break;
                }
                stream.mixture[kept++] = c.mixture;
            }
    } else {
        for (int j = 0; j < g.count; j++)
            if (stream.mixture[j].mixtureWeight > DEFUNCT_WEIGHT) {
                if (kept != j)
                    stream.mixture[kept] = stream.mixture[j];
                kept++;
            }
    }
    for (int j = kept; j < g.count || (g.spilled && j < MAX_MIXTURE_NUM); j++)
        stream.mixture[j] = hmmMixture{};
    summary_.zeroWeightComponents += present - kept;
    if (present < numMixes)
        summary_.prunedComponents += numMixes - present;
    stream.mixtureNum = kept;
    // The converter's reader gives a stream of one component the weight 1.0, so the three
    // outputs agree only so; HTK would keep the weight. Counted for the summary.
    if (kept == 1 && stream.mixture[0].mixtureWeight != 1.0f) {
        summary_.weightsSetToOne++;
        summary_.largestWeightChange =
            std::max(summary_.largestWeightChange, 1.0f - stream.mixture[0].mixtureWeight);
        stream.mixture[0].mixtureWeight = 1.0f;
    }
}

stateMacro importer::pack(const hmmState &state)
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

// Into a record as readState leaves one: nothing but the kept components and the weights.
void importer::unpack(const stateMacro &macro, hmmState &state) const
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

// The set and the summary from what the files gave.
void importer::fillSet(macroClass &set, const std::vector<std::string> &paths)
{
    summary_.files = static_cast<int>(paths.size());
    for (const auto &in : sources_)
        summary_.binaryFiles += in->seenBinary() ? 1 : 0;
    for (int l = 0; l < 26; l++)
        for (const auto &entry : macros_[l])
            if (entry.second.uses == 0 && l != 'd' - 'a')
                summary_.unreferencedMacros++;
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
