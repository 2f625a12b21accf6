// What a reader of a macro file can tell, besides the set it fills: where in the file it took
// each model and value. A lint places its findings from this, so that the file is read once,
// by the reader itself. Without an observer the readers do none of this work.
#pragma once

#include <cstddef>

#include "hmm/macroClass.h"

// Told every byte a text reader reads from its file, once and in file order (lines and
// columns follow from them). The binary reader tells nothing of it.
class byteObserver {
public:
    virtual ~byteObserver() = default;
    virtual void bytes(const char *, size_t) {}
};

enum class fieldKind { streamWeight, mixtureWeight, mean, variance, gconst, transition };

// Indices into the set: state e is file state e + 2, stream s file stream s + 1, mixture k
// the k-th component given; the element of a transition is row * MAX_STATE_NUM + column.
// Fields a kind does not have are -1.
struct valueSite {
    fieldKind field;
    int model, state, stream, mixture, element;
};

// The set's slot of the site: the value as the set holds it now.
const float &heldAt(const hmmSet &set, const valueSite &site);
// Whether the site lies within what the set holds (its models, states, streams and components).
bool heldIn(const hmmSet &set, const valueSite &site);

// Reports come in file order, on the reading thread: a reader given an observer reads the
// file front to back on one thread.
class fieldObserver : public byteObserver {
public:
    // Once the model's name is in the set: where its header begins (the "~h" token, or the
    // name field).
    virtual void model(int m, long offset) = 0;
    // A value as it was stored, and where its text or field begins. The binary reader stores,
    // and tells, every slot of its records: the whole 24 of a vector and the whole run of
    // transitions.
    virtual void value(const valueSite &site, float value, long offset) = 0;
    // Once a stream's components are in the set: how many of its mixtureNum the file gave,
    // and where the state's mixture counts stand (<NUMMIXES>, or <SWEIGHTS> without it; the
    // mixtureNum field).
    virtual void stream(int m, int e, int s, int given, long countsOffset) = 0;
    // Where the last model ends.
    virtual void end(long offset) = 0;
};
