// Where the fields of a set that was read stand in its file. The set in memory keeps no
// places, so the walks follow the file again alongside the set's counts and tell a visitor,
// in file order, where each model, stream and value was read.
#pragma once

#include <string>

#include "hmm/macroClass.h"

enum class fieldKind { streamWeight, mixtureWeight, mean, variance, gconst, transition };

// Indices into the set: state e is file state e + 2, stream s file stream s + 1, mixture k
// the k-th component given; the element of a transition is row * MAX_STATE_NUM + column.
// Fields a kind does not have are -1.
struct valueSite {
    fieldKind field;
    int model, state, stream, mixture, element;
};

class siteVisitor {
public:
    virtual ~siteVisitor() = default;
    // The model's header: its "~h" token, or its name field.
    virtual void model(int m, long offset) = 0;
    virtual void value(const valueSite &site, long offset) = 0;
    // After a stream's components: how many of its mixtureNum the file gave, and where the
    // state's mixture counts stand (<NUMMIXES>, or <SWEIGHTS> without it; the mixtureNum field).
    virtual void stream(int m, int e, int s, int given, long countsOffset) = 0;
    // Where the last model ends.
    virtual void end(long offset) = 0;
};

// The text file the set was read from, token by token as the reader takes it. Throws
// mac2mod::error when the file cannot be opened again.
void walkTextSites(const hmmSet &set, const std::string &path, siteVisitor &visitor);
// The binary layout follows from the counts alone.
void walkBinarySites(const hmmSet &set, siteVisitor &visitor);
