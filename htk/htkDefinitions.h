// HTK's definitions as the files write them, handed in file order from the import's reader
// (htkReader.h) to its untying (htkUntie.h). A shared part is handed once, where it is
// defined; a use of it is its index among the macros of its type defined so far. Places are
// byte offsets into the source the call names. For this file:
//
//     ~o <STREAMINFO> 1 2 <VECSIZE> 2 <NULLD><MFCC><DIAGC>
//     ~v "v1"
//     <VARIANCE> 2 1.0 1.0
//     ~h "a"
//     <BEGINHMM> <NUMSTATES> 3
//     <STATE> 2 <NUMMIXES> 2
//     <MIXTURE> 1 0.6 <MEAN> 2 0.0 0.0 ~v "v1"
//     <MIXTURE> 2 0.4 <MEAN> 2 1.0 1.0 ~v "v1"
//     <TRANSP> 3 0.0 1.0 0.0 0.0 0.5 0.5 0.0 0.0 0.0
//     <ENDHMM>
//
// the untying is told: counted(streams, 1); counted(vectorSize, 2, "stream 1");
// counted(vecSize, 2); optionsFixed; counted(vectorSize, 2, "a variance"); sharedVector('v');
// counted(nameLength, 1, "a"); counted(modelStates, 3); modelBegins("a", 3);
// stateBegins(state 2); stream(2 components, each a mean by value and the variance ~v 0);
// stateEnds; transition(3 x 3 by value); modelEnds.
#pragma once

#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/setLimits.h"
#include "htk/htkSource.h"

namespace mac2mod::htk {

constexpr int HTK_MAX_STREAMS = 4;
static_assert(MAX_STREAM_NUM <= HTK_MAX_STREAMS, "the untying refuses more streams before the widths are read");

// The set's global options as the files give them.
struct optionSet {
    int streamNum = 0;   // 0: no <StreamInfo>
    int width[HTK_MAX_STREAMS] = {};
    int vecSize = 0;     // 0: no <VecSize>
    std::string parmKind;
    int covKind = -1;
    int durKind = -1;
    int numStates = 0;   // a default <NumStates> (in ~o only)
};

// A vector as written: its length, and its first values. Values past MAX_PARAM_NUM are read
// past: no record holds them, and the untying refuses the vector for its length.
struct vectorDef {
    int n = 0;
    float values[MAX_PARAM_NUM];
};

// A transition matrix as written; one of more states than a record holds is read past.
struct transDef {
    int n = 0;
    float values[MAX_STATE_NUM][MAX_STATE_NUM];
};

// A Gaussian as written: by reference (~m), or its mean and variance each by reference (~u,
// ~v) or by value, and its constant when the file gives one.
struct gaussianDef {
    int mixture = -1;    // ~m index; the rest unused
    int mean = -1;       // ~u index, or -1: meanValues
    int variance = -1;   // ~v index, or -1: varianceValues
    int n = 0;           // values per vector
    bool gconstGiven = false;
    float gconst = 0;
    float meanValues[MAX_PARAM_NUM];
    float varianceValues[MAX_PARAM_NUM];
};

// One <MIXTURE> (or the lone Gaussian of a stream without one: number 1, weight 1.0).
struct componentDef {
    int number;
    float weight;
    gaussianDef gaussian;
};

// A stream's components in the order written, numbers repeated or out of order as they are.
struct streamDef {
    long offset;    // where the stream begins
    int stream;     // from 0
    int numMixes;   // its <NUMMIXES>
    const char *where;   // "model 3 (\"a\"), state 2" or "~s \"s1\"", for messages
    std::vector<componentDef> components;
};

// What a state's streams go into: state number of the model being read (2 ... N-1), or the
// body of the shared state being defined (number 0). Its stream weights as written: 1.0 each
// unless given by value or by reference (~w); or the whole state by reference (~s).
struct stateDef {
    int number = 0;
    int shared = -1;    // ~s index: no weights and no streams follow
    int weights = -1;   // ~w index, or -1: weightValues
    float weightValues[MAX_STREAM_NUM];
};

// The counts the set's records bound, handed as read, before what they count.
// vectorSize is a stream's width, a shared vector's length or a <VECSIZE> that gives the only
// stream; vecSize a <VECSIZE> with the streams' widths beside it.
enum class count { streams, vectorSize, vecSize, nameLength, modelStates, matrixStates };


// What the set has no place for and the reader passes over: a <DURATION> or ~d in a model
// or state, and a duration or adaptation macro's definition.
enum class skip { duration, macro };

// The untying's side of the import.
class definitionSink {
public:
    virtual ~definitionSink() = default;
    // A count read at offset in `in`; subject names what it counts, for messages: "stream 1",
    // "<VECSIZE>", "a mean", a model's name, or the model for its states.
    virtual void counted(const source &in, long offset, count what, long n, const std::string &subject) = 0;
    virtual void optionsFixed(const optionSet &options) = 0;

    virtual void modelBegins(const std::string &name, int numStates) = 0;
    virtual void stateBegins(const stateDef &state) = 0;
    virtual void stream(const source &in, const streamDef &stream) = 0;
    virtual void stateEnds() = 0;
    // The model's matrix by value, or by reference (~t index, the matrix unused).
    virtual void transition(const transDef &matrix, int shared) = 0;
    virtual void modelEnds() = 0;

    // Shared parts, each type's indices counting from 0 in the order defined. A shared
    // state is handed as stateBegins (number 0), its streams and stateEnds.
    virtual void sharedVector(char letter, const vectorDef &vector) = 0;   // ~u, ~v
    virtual void sharedGaussian(const gaussianDef &gaussian) = 0;       // ~m
    virtual void sharedTransition(const transDef &matrix) = 0;          // ~t
    virtual void sharedWeights(const vectorDef &weights) = 0;           // ~w
    virtual void skipped(skip what) = 0;
};

}  // namespace mac2mod::htk
