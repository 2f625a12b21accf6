// The import's untying: HTK's definitions, as the reader hands them (htkDefinitions.h), into
// the set's fixed-capacity records. It keeps the bodies of the shared parts and copies one
// wherever it is used; keeps each stream's components as HTK's loader keeps them (in number
// order, the last of a number given twice, none of a weight HTK treats as absent); checks
// every count against the records' capacity; and counts the summary. Not for use outside htk/.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "hmm/modelArray.h"
#include "hmm/setLimits.h"
#include "htk/htkDefinitions.h"
#include "htk/htkSummary.h"

namespace mac2mod::htk {

class untier final : public definitionSink {
public:
    // Room for modelBound models at first, likelyModels of them mapped in ahead of use.
    untier(htkImportSummary &summary, size_t modelBound, int likelyModels);

    void counted(const source &in, long offset, count what, long n, const std::string &subject) override;
    void optionsFixed(const optionSet &options) override { options_ = options; }
    void modelBegins(const std::string &name, int numStates) override;
    void stateBegins(const stateDef &state) override;
    void stream(const source &in, const streamDef &stream) override;
    void stateEnds() override;
    void transition(const transDef &matrix, int shared) override;
    void modelEnds() override { modelNum_++; }
    void sharedVector(char letter, const vectorDef &vector) override;
    void sharedGaussian(const gaussianDef &gaussian) override;
    void sharedTransition(const transDef &matrix) override { transitions_.push_back(matrix); }
    void sharedWeights(const vectorDef &weights) override { weights_.push_back(weights); }
    void skipped(skip what) override;

    // Whether a count broke a capacity; the refusal naming every limit broken, each kind at
    // its first place with how many places break it, in the order first met, then stop (if
    // any): the fault that ended the read.
    bool limitsBroken() const { return kindsBroken_ > 0; }
    error limitsRefusal(const error *stop) const;
    // The set and the rest of the summary, once every file is read.
    void finish(macroClass &set, int files, int binaryFiles, int unreferencedMacros);

private:
    struct modelArray {
        void operator()(hmmModel *p) const { std::free(p); }
    };
    struct gaussianMacro {
        int n = 0;
        hmmMixture mixture;   // the weight unused
    };
    // A shared state as its kept components only, which lie in statePool_: a whole record
    // would cost thousands of bytes for a definition of a few dozen.
    struct stateMacro {
        float streamWeight[MAX_STREAM_NUM];
        int mixtureNum[MAX_STREAM_NUM];
        size_t first;   // the first component in the pool
    };
    enum class limit { vectorSize, states, components, nameLength };
    static constexpr int LIMIT_KINDS = 4;
    struct breach {
        std::optional<error> first;
        int places = 0;
        int order = 0;
    };

    // Records that a count at offset breaks a limit; the import reads on and is refused at
    // the end, so that one run names everything to change.
    void exceed(const source &in, long offset, limit kind, const std::string &text);
    hmmModel &nextModel();
    void countUses(const gaussianDef &g);
    void resolve(const gaussianDef &g, hmmMixture &out) const;
    int numberOrder(const streamDef &stream);
    stateMacro pack(const hmmState &state);
    void unpack(const stateMacro &macro, hmmState &state) const;

    htkImportSummary &summary_;
    optionSet options_;

    std::unique_ptr<hmmModel, modelArray> model_;
    size_t capacity_ = 0;
    int modelNum_ = 0;
    // Maps the array's pages in on a second thread; destroyed before the array is released.
    std::optional<modelArrayPrefaulter> prefaulter_;
    hmmModel *current_ = nullptr;   // the model being untied
    hmmState *state_ = nullptr;     // where the streams being handed go
    hmmState body_;                 // a shared state being defined
    hmmState spare_;                // a state past the record's capacity: untied and dropped
    std::vector<int> order_;        // a stream's components to keep, in number order

    std::vector<stateMacro> states_;
    std::vector<hmmMixture> statePool_;   // the components of the shared states, in order
    std::vector<gaussianMacro> gaussians_;
    std::vector<vectorDef> means_, variances_;
    std::vector<transDef> transitions_;
    std::vector<vectorDef> weights_;

    breach breaches_[LIMIT_KINDS];
    int kindsBroken_ = 0;
};

}  // namespace mac2mod::htk
