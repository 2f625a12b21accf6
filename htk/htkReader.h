// The import's reader: HTK model files, text or binary, symbol by symbol into HTK's own
// definitions (htkDefinitions.h), handed to the untying as each is read. It refuses what HTK's
// loader refuses or the files do not define, and keeps the table of macro names, so that a
// use is checked against the definition before it; the records and their capacities are the
// untying's. Not for use outside htk/.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "htk/htkDefinitions.h"
#include "htk/htkObserver.h"

namespace mac2mod::htk {

constexpr float DEFUNCT_WEIGHT = 1.0e-5f;   // HTK's MINMIX: a component at or below is absent

// What HTK's loader takes as a transition probability or a mixture weight (NaN is not).
inline bool isProbability(float value)
{
    return value >= 0.0f && value <= 1.0f;
}

// "state", "mean", ... for a macro's type letter.
const char *typeName(char letter);
// A symbol as a message names it: "<MEAN>", "~t \"tr1\"", "the end of the file".
std::string describe(const symbol &s);

class reader {
public:
    reader(const std::vector<std::unique_ptr<source>> &sources, definitionSink &sink, htkObserver *observer)
        : sources_(sources), sink_(sink), observer_(observer)
    {
    }

    void readFile(int file);
    // How many models the files define, and how many macros (durations aside) no
    // definition uses.
    int models() const { return modelNum_; }
    int unreferencedMacros() const;

private:
    // A macro or model name's definition: its index among its type, where it stands, its
    // length (vectors, matrices, Gaussians), and how often it has been used.
    struct definition {
        int index;
        int file;
        long offset;
        int n = 0;
        int uses = 0;
    };

    // Top level (htkReader.cpp)
    void readSharedPart(source &in, const symbol &s);
    void readSharedVector(source &in, const symbol &s, const std::string &where, definition &d);
    definition &define(source &in, const symbol &s);
    definition &use(source &in, const symbol &s);
    symbol expect(source &in, int code, const char *where);

    // Options (htkOptions.cpp)
    void readOptions(source &in, optionSet &given, bool inModel);
    void fixOptions(source &in, const optionSet &given, long offset);
    void needOptions(source &in, long offset, const char *what);

    // Models and states (htkModelReader.cpp)
    void readModel(source &in, const std::string &name, long offset, bool headerless);
    int readModelHead(source &in, const std::string &name, const std::string &where, long offset, bool headerless);
    void readModelStates(source &in, int numStates, const std::string &where);
    void readState(source &in, stateDef &state, const char *where);
    void readStreamWeights(source &in, stateDef &state, const char *where);
    void readTransP(source &in, const symbol &head, transDef &out, bool shared);
    void skipDuration(source &in, const symbol &head);

    // Streams and Gaussians (htkGaussianReader.cpp)
    void readStream(source &in, int s, int numMixes, const char *where);
    componentDef &nextComponent(int number, float weight);
    void readGaussian(source &in, gaussianDef &g, int width, const char *where);
    void readVariance(source &in, gaussianDef &g, const char *where);
    void readGconst(source &in, gaussianDef &g);
    int readVector(source &in, const symbol &head, float *values, int width, const char *what);
    static void checkWeights(source &in, long offset, double sum, const char *what, const char *where);

    // The values just read, to the observer: where they begin, and what holds them.
    std::string componentName(int s, int k) const;
    void tell(source &in, fieldKind field, const float *values, const long *offsets, int n);

    const std::vector<std::unique_ptr<source>> &sources_;
    definitionSink &sink_;
    htkObserver *observer_;
    int file_ = 0;
    std::string owner_;        // what holds the values being read, for the observer
    std::string ownerState_;   // the state being read, as the observer is told it

    bool optionsFixed_ = false;
    optionSet options_;
    std::string optionsPlace_;

    std::unordered_map<std::string, definition> macros_[26];
    int defined_[26] = {};
    std::unordered_map<std::string, definition> models_;
    int modelNum_ = 0;

    streamDef stream_;   // the stream being read, its buffer kept from one to the next
    // The weight sum of the stream being read, a number given twice counting its last weight;
    // the highest number given in it.
    double sum_ = 0;
    int highest_ = 0;
};

}  // namespace mac2mod::htk
