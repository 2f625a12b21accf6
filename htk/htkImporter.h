// The HTK import's parts, shared by its units: the reader (htkImport.cpp, htkOptions.cpp,
// htkModelReader.cpp, htkGaussianReader.cpp) takes HTK's definitions symbol by symbol, keeping
// the shared parts in one macro table; the untying (htkUntie.cpp) fills the set's fixed records
// from them, enforces the capacities and counts the summary. Not for use outside htk/.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "hmm/setLimits.h"
#include "htk/htkObserver.h"
#include "htk/htkSource.h"
#include "htk/htkSummary.h"

namespace mac2mod::htk {

constexpr float DEFUNCT_WEIGHT = 1.0e-5f;   // HTK's MINMIX: a component at or below is absent
constexpr int HTK_MAX_STREAMS = 4;

// What HTK's loader takes as a transition probability or a mixture weight (NaN is not).
inline bool isProbability(float value)
{
    return value >= 0.0f && value <= 1.0f;
}

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

// The one wording of the vector size limit, for a size given by what ("stream 1", "<VECSIZE>",
// "a mean").
inline std::string vectorSizeLimit(const char *what, int n)
{
    return formatted("vector size %d (%s): the set holds vectors of 1 to %d values", n, what, MAX_PARAM_NUM);
}

// A shared vector (~u, ~v), matrix (~t), weights (~w) or Gaussian (~m).
struct vectorMacro {
    int n = 0;
    float values[MAX_PARAM_NUM];
};
struct transMacro {
    int n = 0;
    float values[MAX_STATE_NUM][MAX_STATE_NUM];
};
struct gaussianMacro {
    int n = 0;
    hmmMixture mixture;   // the weight unused
};
// A shared state (~s) as its kept components only, which lie in the importer's pool: a whole
// record would cost thousands of bytes for a definition of a few dozen.
struct stateMacro {
    float streamWeight[MAX_STREAM_NUM];
    int mixtureNum[MAX_STREAM_NUM];
    size_t first;   // the first component in the pool
};

// Where a macro or model was defined, for the message about a second definition.
struct definition {
    int index;    // into the table of its type
    int file;
    long offset;
    int uses = 0;
};

struct component {
    int index;
    hmmMixture mixture;
};

struct modelArray {
    void operator()(hmmModel *p) const { std::free(p); }
};

// "state", "mean", ... for a macro's type letter.
const char *typeName(char letter);
// A symbol as a message names it: "<MEAN>", "~t \"tr1\"", "the end of the file".
std::string describe(const symbol &s);
// The model array grown from oldCount to newCount records, the new ones zero-filled.
hmmModel *grow(hmmModel *old, size_t oldCount, size_t newCount);

// The capacities an import reports all of, each kind at its first place with the number of
// places that break it, so that one run names everything to change.
enum class limit { vectorSize, states, components, nameLength };
constexpr int LIMIT_KINDS = 4;

class importer {
public:
    importer(htkImportSummary &summary, htkObserver *observer) : summary_(summary), observer_(observer) {}

    void run(macroClass &set, const std::vector<std::string> &paths);

private:
    // Top level
    void readFile(source &in);
    void readSharedPart(source &in, const symbol &s);
    void fillSet(macroClass &set, const std::vector<std::string> &paths);
    void readOptions(source &in, optionSet &given, bool inModel);
    void fixOptions(source &in, const optionSet &given, long offset);
    void needOptions(source &in, long offset, const char *what);
    definition *define(source &in, const symbol &s);
    definition &use(source &in, const symbol &s);

    // Bodies
    void readModel(source &in, const std::string &name, long offset, bool headerless);
    int readModelHead(source &in, const std::string &name, const std::string &where, long offset, bool headerless);
    hmmModel &nextModel();
    void readState(source &in, hmmState &state, const char *where);
    void readStream(source &in, hmmStream &stream, int s, int numMixes, const char *where);
    // A stream's components as read, before keepComponents unties them into the record.
    struct gathered {
        int indices[MAX_MIXTURE_NUM];
        int count = 0;
        bool spilled = false;   // in scratch_, not in the record
        double sum = 0;
    };
    hmmMixture &slotFor(gathered &g, hmmStream &stream, int k);
    void keepComponents(source &in, long streamAt, const gathered &g, hmmStream &stream, int s, int numMixes,
                        const char *where);
    int readGaussian(source &in, hmmMixture &mixture, int width, const char *where);
    void readGconst(source &in, hmmMixture &mixture, int n);
    int readVector(source &in, const symbol &head, float *values, int width, const char *what);
    void readTransP(source &in, const symbol &head, transMacro &out, bool inModel = false);
    void skipDuration(source &in, const symbol &head);
    void checkWeights(source &in, long offset, double sum, const char *what, const char *where);
    symbol expect(source &in, int code, const char *where);

    // Records that a count at offset breaks the limit of kind and reads on: the reader keeps
    // what the records hold of it and passes over the rest. run refuses the set at the end.
    void exceed(source &in, long offset, limit kind, const char *format, ...) __attribute__((format(printf, 5, 6)));
    // The refusal naming every limit broken, in the order first met, then stop (if any): the
    // fault that ended the read.
    error limitsRefusal(const error *stop) const;

    int width(int s) const { return options_.width[s]; }
    // How many of n values a vector of the records holds.
    static int held(int n) { return std::min(n, MAX_PARAM_NUM); }
    stateMacro pack(const hmmState &state);
    void unpack(const stateMacro &macro, hmmState &state) const;

    // The values just read, to the observer: where they begin in in, and what holds them.
    std::string componentName(int s, int k) const;
    void tellBinaryGaussian(source &in, const hmmMixture &mixture, int width, long start, bool gconst);
    void tell(source &in, fieldKind field, const float *values, const long *offsets, int n);

    htkImportSummary &summary_;
    htkObserver *observer_;
    std::string owner_;        // what holds the values being read, for the observer
    std::string ownerState_;   // the state being read, as the observer is told it
    std::vector<std::unique_ptr<source>> sources_;
    int file_ = 0;

    bool optionsFixed_ = false;
    optionSet options_;
    std::string optionsPlace_;

    std::unordered_map<std::string, definition> macros_[26];
    std::vector<stateMacro> states_;
    std::vector<hmmMixture> statePool_;   // the components of the shared states, in order
    std::vector<gaussianMacro> gaussians_;
    std::vector<vectorMacro> vectors_;   // ~u and ~v
    std::vector<transMacro> transitions_;
    std::vector<vectorMacro> weights_;

    std::unordered_map<std::string, definition> models_;
    std::unique_ptr<hmmModel, modelArray> model_;
    size_t capacity_ = 0;
    int modelNum_ = 0;
    // Maps the array's pages in on a second thread; destroyed before the array is released.
    std::optional<modelArrayPrefaulter> prefaulter_;

    std::vector<component> scratch_;

    struct breach {
        std::optional<error> first;
        int places = 0;
        int order = 0;
    };
    breach breaches_[LIMIT_KINDS];
    int kindsBroken_ = 0;
    hmmState spareState_;   // the states of a model past the record's capacity, read and dropped
};

}  // namespace mac2mod::htk
