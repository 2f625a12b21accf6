// The counts a set in memory must keep before it is written out (text or binary) or dumped:
// the writers loop over them, so a count beyond its capacity would read past the fixed arrays of
// the records. The readers never produce such a set; one built by hand may, and is refused
// with an error of status 1 before any output file is opened.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "hmm/macroClass.h"
#include "utility/error.h"

// A model's name up to its terminating zero, never past the name field.
inline std::string_view modelName(const hmmModel &model)
{
    return std::string_view(model.str, strnlen(model.str, MAX_NAME_LEN));
}

// The capacities of the fixed records, and the one check of a count against them that every
// reader, writer and the import make before a count indexes anything. least is the fewest the
// form in question allows (0 where nothing more is said).
enum class capacity { streams, vectorSize, states, mixtures, nameLength };

constexpr int capacityOf(capacity what)
{
    switch (what) {
    case capacity::streams: return MAX_STREAM_NUM;
    case capacity::vectorSize: return MAX_PARAM_NUM;
    case capacity::states: return MAX_STATE_NUM;   // entry and exit states included
    case capacity::mixtures: return MAX_MIXTURE_NUM;
    case capacity::nameLength: return MAX_NAME_LEN - 1;   // the terminating zero left out
    }
    return 0;
}

constexpr bool withinCapacity(capacity what, long count, long least = 0)
{
    return count >= least && count <= capacityOf(what);
}

// The one wording of a count past a capacity, for every message that is not the converter's
// own: where names what gives a vector size ("stream 1"), the model ("model 3 (\"a\")") or
// matrix of a state count, the model and state (and stream) of a component count, or the name
// that is too long; a stream count needs none.
inline std::string capacityExceeded(capacity what, const std::string &where, long count)
{
    switch (what) {
    case capacity::vectorSize:
        return mac2mod::formatted("vector size %ld (%s): the set holds vectors of 1 to %d values", count,
                                  where.c_str(), capacityOf(what));
    case capacity::states:
        return mac2mod::formatted("%s has %ld states, more than the %d the set holds (entry and exit included)",
                                  where.c_str(), count, capacityOf(what));
    case capacity::mixtures:
        return mac2mod::formatted("%s: %ld components, more than the %d the set holds", where.c_str(), count,
                                  capacityOf(what));
    case capacity::streams:
        return mac2mod::formatted("%ld streams, more than the %d the set holds", count, capacityOf(what));
    case capacity::nameLength:
        return mac2mod::formatted("model name \"%s\" of %ld characters: the set holds names of at most %d",
                                  where.c_str(), count, capacityOf(what));
    }
    return {};
}

inline void checkSetCounts(const hmmSet &set)
{
    if (!withinCapacity(capacity::streams, set.streamNum))
        mac2mod::raisef(1, "Error: streamNum %d is outside 0..%d!\n", set.streamNum, MAX_STREAM_NUM);
    for (int s = 0; s < set.streamNum; s++)
        if (!withinCapacity(capacity::vectorSize, set.vecSize[s]))
            mac2mod::raisef(1, "Error: vecSize[%d] = %d is outside 0..%d!\n", s, set.vecSize[s],
                   MAX_PARAM_NUM);
}

// Expects checkSetCounts to have passed.
inline void checkModelCounts(const hmmSet &set, int m)
{
    const hmmModel &model = set.model[m];
    std::string_view name = modelName(model);
    if (!withinCapacity(capacity::states, model.stateNum))
        mac2mod::raisef(1, "Error: model %d (%.*s): stateNum %d is outside 0..%d!\n", m,
               static_cast<int>(name.size()), name.data(), model.stateNum, MAX_STATE_NUM);
    for (int e = 0; e < model.stateNum - 2; e++)
        for (int s = 0; s < set.streamNum; s++) {
            int mixtureNum = model.state[e].stream[s].mixtureNum;
            if (!withinCapacity(capacity::mixtures, mixtureNum))
                mac2mod::raisef(1, "Error: model %d (%.*s), state %d, stream %d: mixtureNum %d is outside 0..%d!\n",
                       m, static_cast<int>(name.size()), name.data(), e + 2, s + 1, mixtureNum,
                       MAX_MIXTURE_NUM);
        }
}

inline void checkAllCounts(const hmmSet &set)
{
    checkSetCounts(set);
    for (int m = 0; m < set.modelNum; m++)
        checkModelCounts(set, m);
}
