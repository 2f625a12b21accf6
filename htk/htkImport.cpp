// The HTK import: every file's definitions in load order, one macro table for all of them,
// each reference resolved by a copy of the macro's body, the models untied into the set's
// fixed records (htk-mmf.md describes the format; its section 13 is the checklist).
#include "htk/htkImport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "hmm/modelArray.h"
#include "hmm/setLimits.h"
#include "htk/htkSource.h"
#include "htk/htkSummary.h"

namespace mac2mod {

namespace {

using htk::source;
using htk::symbol;
using namespace htk;

constexpr float DEFUNCT_WEIGHT = 1.0e-5f;   // HTK's MINMIX: a component at or below is absent
constexpr int HTK_MAX_STREAMS = 4;

// What HTK's loader takes as a transition probability or a mixture weight (NaN is not).
bool isProbability(float value)
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

class importer {
public:
    importer(htkImportSummary &summary) : summary_(summary) {}

    void run(macroClass &set, const std::vector<std::string> &paths);

private:
    // Top level
    void readFile(source &in);
    void readOptions(source &in, optionSet &given, bool inModel);
    void fixOptions(source &in, const optionSet &given, long offset);
    void needOptions(source &in, long offset, const char *what);
    definition *define(source &in, const symbol &s);
    definition &use(source &in, const symbol &s);

    // Bodies
    void readModel(source &in, const std::string &name, long offset, bool headerless);
    void readState(source &in, hmmState &state, const char *where);
    void readStream(source &in, hmmStream &stream, int s, int numMixes, const char *where);
    int readGaussian(source &in, hmmMixture &mixture, int width, const char *where);
    int readVector(source &in, const symbol &head, float *values, int width, const char *what);
    void readTransP(source &in, const symbol &head, transMacro &out);
    void skipDuration(source &in, const symbol &head);
    void checkWeights(source &in, long offset, double sum, const char *what, const char *where);
    symbol expect(source &in, int code, const char *where);

    int width(int s) const { return options_.width[s]; }
    stateMacro pack(const hmmState &state);
    void unpack(const stateMacro &macro, hmmState &state) const;

    htkImportSummary &summary_;
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
};

const char *typeName(char letter)
{
    switch (letter) {
    case 's': return "state";
    case 'm': return "mixture component";
    case 'u': return "mean";
    case 'v': return "variance";
    case 't': return "transition matrix";
    case 'w': return "stream weights";
    case 'd': return "duration";
    case 'i': return "inverse covariance";
    case 'c': return "Cholesky covariance";
    case 'x': return "transform";
    default: return "macro";
    }
}

std::string describe(const symbol &s)
{
    if (s.kind == symbol::end)
        return "the end of the file";
    if (s.kind == symbol::macro)
        return std::string("~") + s.letter + (s.letter == 'o' ? "" : " \"" + s.text + "\"");
    if (s.code == PARMKIND)
        return "<" + s.text + ">";
    return keywordName(s.code);
}

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

}  // namespace

void importer::run(macroClass &set, const std::vector<std::string> &paths)
{
    if (set.MMF.model || set.MMF.modelNum)
        throw error("importHtk: the set to fill is not empty\n", 1);
    if (paths.empty())
        throw error("importHtk: no file to read\n", 1);
    // Every file in memory first: the models are counted (every "~h", and one more per file
    // for a model without a header) so that the array is allocated once; pages of it that are
    // never used are never touched.
    size_t bound = 0, likely = 0;
    for (const std::string &path : paths) {
        sources_.push_back(std::make_unique<source>(path));
        size_t headers = 0;
        bound += sources_.back()->modelHeaderBound(&headers) + 1;
        likely += headers;
    }
    model_.reset(grow(nullptr, 0, bound));
    capacity_ = bound;
    prefaulter_.emplace(model_.get(), static_cast<int>(likely));
    for (size_t f = 0; f < sources_.size(); f++) {
        file_ = static_cast<int>(f);
        readFile(*sources_[f]);
    }
    if (modelNum_ == 0)
        throw error(paths.back() + ": no model (~h) is defined in the files\n", 1);
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

void importer::readFile(source &in)
{
    bool first = true;
    const int c = in.firstByte();
    if (c >= 0 && c != '~' && c != '<' && c != ':')
        in.fail(in.offset(), "not an HTK model file: it begins with neither a macro (~o, ~h, ...) nor a keyword");
    for (;;) {
        symbol s = in.next();
        if (s.kind == symbol::end)
            return;
        if (s.kind == symbol::keyword && s.code == BEGINHMM) {
            // A model file of one model without a header: named after the file.
            std::string name = in.path();
            size_t slash = name.find_last_of('/');
            if (slash != std::string::npos)
                name = name.substr(slash + 1);
            readModel(in, name, s.offset, true);
            first = false;
            continue;
        }
        if (s.kind != symbol::macro) {
            if (first)
                in.fail(s.offset, "not an HTK model file: it begins with %s, not a macro (~o, ~h, ...)",
                        describe(s).c_str());
            in.fail(s.offset, "expected a macro definition (~o, ~h, ~t, ...), found %s", describe(s).c_str());
        }
        first = false;
        switch (s.letter) {
        case 'o': {
            optionSet given;
            readOptions(in, given, false);
            fixOptions(in, given, s.offset);
            break;
        }
        case 'h':
            readModel(in, s.text, s.offset, false);
            break;
        case 's': case 'm': case 'u': case 'v': case 't': case 'w': case 'd': {
            needOptions(in, s.offset, "a shared part (~s, ~m, ~u, ~v, ~t, ~w, ~d)");
            definition *d = define(in, s);
            std::string where = std::string("~") + s.letter + " \"" + s.text + "\"";
            if (s.letter == 's') {
                hmmState body{};
                readState(in, body, where.c_str());
                d->index = static_cast<int>(states_.size());
                states_.push_back(pack(body));
            } else if (s.letter == 'm') {
                gaussianMacro body{};
                body.n = readGaussian(in, body.mixture, 0, where.c_str());
                d->index = static_cast<int>(gaussians_.size());
                gaussians_.push_back(body);
            } else if (s.letter == 'u' || s.letter == 'v') {
                symbol head = expect(in, s.letter == 'u' ? MEAN : VARIANCE, where.c_str());
                vectorMacro body{};
                body.n = readVector(in, head, body.values, 0, s.letter == 'u' ? "mean" : "variance");
                d->index = static_cast<int>(vectors_.size());
                vectors_.push_back(body);
            } else if (s.letter == 't') {
                symbol head = expect(in, TRANSP, where.c_str());
                transMacro body{};
                readTransP(in, head, body);
                d->index = static_cast<int>(transitions_.size());
                transitions_.push_back(body);
            } else if (s.letter == 'w') {
                symbol head = expect(in, SWEIGHTS, where.c_str());
                vectorMacro body{};
                body.n = in.integer(head.binary);
                if (body.n != options_.streamNum)
                    in.fail(head.offset, "%s: %d stream weights in a set of %d streams", where.c_str(), body.n,
                            options_.streamNum);
                in.reals(head.binary, body.values, body.n);
                d->index = static_cast<int>(weights_.size());
                weights_.push_back(body);
            } else {   // 'd'
                symbol head = in.next();
                if (head.kind != symbol::keyword || head.code != DURATION)
                    in.fail(head.offset, "%s: expected <DURATION>, found %s", where.c_str(), describe(head).c_str());
                in.skipReals(head.binary, in.integer(head.binary));
                summary_.skippedMacros++;
                d->index = 0;
            }
            break;
        }
        case 'i': case 'c': case 'x':
            in.fail(s.offset, "~%c \"%s\": a %s macro; the set holds diagonal variances only", s.letter,
                    s.text.c_str(), typeName(s.letter));
        default:   // r b a f g y j: adaptation; read past
            in.skipAdaptationBody(s.offset);
            summary_.skippedMacros++;
            break;
        }
    }
}

void importer::needOptions(source &in, long offset, const char *what)
{
    if (!optionsFixed_)
        in.fail(offset, "%s before the global options (~o): the file giving them must come first", what);
}

definition *importer::define(source &in, const symbol &s)
{
    auto &table = macros_[s.letter - 'a'];
    auto found = table.find(s.text);
    if (found != table.end()) {
        const definition &d = found->second;
        in.fail(s.offset, "~%c \"%s\" is defined twice (first at %s)", s.letter, s.text.c_str(),
                sources_[d.file]->place(d.offset).c_str());
    }
    definition &d = table[s.text];
    d.file = file_;
    d.offset = s.offset;
    d.index = -1;
    return &d;
}

definition &importer::use(source &in, const symbol &s)
{
    auto &table = macros_[s.letter - 'a'];
    auto found = table.find(s.text);
    if (found == table.end() || found->second.index < 0)
        in.fail(s.offset, "undefined macro ~%c \"%s\": no %s macro of that name is defined before it is used",
                s.letter, s.text.c_str(), typeName(s.letter));
    found->second.uses++;
    return found->second;
}

void importer::readOptions(source &in, optionSet &given, bool inModel)
{
    for (;;) {
        const symbol &p = in.peek();
        if (p.kind != symbol::keyword)
            return;
        const long at = p.offset;
        const bool binary = p.binary;
        switch (p.code) {
        case STREAMINFO: {
            in.take();
            int n = in.integer(binary);
            if (n < 1)
                in.fail(at, "<STREAMINFO> of %d streams", n);
            if (!withinCapacity(capacity::streams, n))
                in.fail(at, "%d streams, more than the %d the set holds", n, MAX_STREAM_NUM);
            given.streamNum = n;
            for (int s = 0; s < n; s++) {
                given.width[s] = in.integer(binary);
                if (!withinCapacity(capacity::vectorSize, given.width[s], 1))
                    in.fail(at, "stream %d of %d values per vector: the set holds 1 to %d", s + 1,
                            given.width[s], MAX_PARAM_NUM);
            }
            break;
        }
        case VECSIZE:
            in.take();
            given.vecSize = in.integer(binary);
            if (given.vecSize < 1 || given.vecSize > MAX_PARAM_NUM * MAX_STREAM_NUM)
                in.fail(at, "vector size %d: the set holds vectors of 1 to %d values", given.vecSize,
                        MAX_PARAM_NUM);
            break;
        case PROJSIZE: {
            in.take();
            int n = in.integer(binary);
            if (n != 0)
                in.fail(at, "<PROJSIZE> %d: projected (HLDA) sets cannot be represented", n);
            break;
        }
        case HMMSETID:
            in.take();
            in.string();
            break;
        case PARMKIND:
            if (p.text.rfind("DISCRETE", 0) == 0)
                in.fail(at, "parameter kind <%s>: discrete models cannot be represented", p.text.c_str());
            given.parmKind = p.text;
            in.take();
            break;
        case DIAGC:
            given.covKind = DIAGC;
            in.take();
            break;
        case INVDIAGC: case FULLC: case LLTC: case XFORMC:
            in.fail(at, "covariance kind %s: the set holds diagonal variances (<DIAGC>) only",
                    keywordName(p.code));
        case NULLD: case POISSOND: case GAMMAD: case RELD: case GEND:
            given.durKind = p.code;
            in.take();
            break;
        case INPUTXFORM: case PARENTXFORM:
            in.fail(at, "%s: models defined over transformed features cannot be represented",
                    keywordName(p.code));
        case NUMSTATES:
            if (inModel)
                return;
            in.take();
            given.numStates = in.integer(binary);
            break;
        default:
            return;
        }
    }
}

void importer::fixOptions(source &in, const optionSet &given, long offset)
{
    optionSet o = given;
    bool any = o.streamNum || o.vecSize || !o.parmKind.empty() || o.covKind >= 0 || o.durKind >= 0;
    if (!any && optionsFixed_) {
        if (o.numStates)
            options_.numStates = o.numStates;
        return;
    }
    if (o.streamNum == 0 && o.vecSize > 0) {
        o.streamNum = 1;
        o.width[0] = o.vecSize;
    }
    if (o.vecSize == 0)
        for (int s = 0; s < o.streamNum; s++)
            o.vecSize += o.width[s];
    if (!optionsFixed_) {
        if (o.streamNum == 0)
            in.fail(offset, "the global options give neither <VECSIZE> nor <STREAMINFO>");
        int total = 0;
        for (int s = 0; s < o.streamNum; s++)
            total += o.width[s];
        if (total != o.vecSize)
            in.fail(offset, "<VECSIZE> %d is not the sum %d of the <STREAMINFO> widths", o.vecSize, total);
        for (int s = 0; s < o.streamNum; s++)
            if (!withinCapacity(capacity::vectorSize, o.width[s]))
                in.fail(offset, "vector size %d: the set holds vectors of 1 to %d values", o.width[s],
                        MAX_PARAM_NUM);
        if (o.parmKind.empty())
            in.fail(offset, "the global options give no parameter kind (<MFCC_D_A>, <FBANK>, ...)");
        options_ = o;
        if (options_.durKind < 0)
            options_.durKind = NULLD;
        optionsFixed_ = true;
        optionsPlace_ = in.place(offset);
        return;
    }
    bool differ = o.streamNum != options_.streamNum || o.vecSize != options_.vecSize ||
                  (!o.parmKind.empty() && o.parmKind != options_.parmKind) ||
                  (o.durKind >= 0 && o.durKind != options_.durKind);
    for (int s = 0; s < o.streamNum && !differ; s++)
        differ = o.width[s] != options_.width[s];
    if (differ)
        in.fail(offset, "these global options differ from those given at %s", optionsPlace_.c_str());
    if (o.numStates)
        options_.numStates = o.numStates;
}

symbol importer::expect(source &in, int code, const char *where)
{
    symbol s = in.next();
    if (s.kind != symbol::keyword || s.code != code) {
        if (s.kind == symbol::end)
            in.fail(s.offset, "the file is cut short: %s ends before %s", where, keywordName(code));
        in.fail(s.offset, "%s: expected %s, found %s", where, keywordName(code), describe(s).c_str());
    }
    return s;
}

void importer::readModel(source &in, const std::string &name, long offset, bool headerless)
{
    std::string where = "model \"" + name + "\"";
    if (name.size() >= static_cast<size_t>(MAX_NAME_LEN))
        in.fail(offset, "model name \"%s\" of %zu characters: the set holds names of at most %d", name.c_str(),
                name.size(), MAX_NAME_LEN - 1);
    if (name.empty())
        in.fail(offset, "a model with an empty name");
    if (name.find('\0') != std::string::npos)
        in.fail(offset, "a model name with a zero byte in it");
    auto found = models_.find(name);
    if (found != models_.end())
        in.fail(offset, "model \"%s\" is defined twice (first at %s)", name.c_str(),
                sources_[found->second.file]->place(found->second.offset).c_str());
    models_[name] = definition{modelNum_, file_, offset};
    if (!headerless)
        expect(in, BEGINHMM, where.c_str());

    const symbol &u = in.peek();
    if (u.kind == symbol::keyword && u.code == USE) {
        in.take();
        in.string();
    }
    optionSet given;
    int numStates = 0;
    long numStatesAt = offset;
    for (;;) {
        readOptions(in, given, true);
        const symbol &p = in.peek();
        if (p.kind == symbol::keyword && p.code == NUMSTATES) {
            numStatesAt = p.offset;
            bool binary = p.binary;
            in.take();
            numStates = in.integer(binary);
            continue;
        }
        break;
    }
    if (given.streamNum || given.vecSize || !given.parmKind.empty() || given.covKind >= 0 || given.durKind >= 0)
        fixOptions(in, given, offset);
    needOptions(in, offset, where.c_str());
    if (numStates == 0)
        numStates = options_.numStates;
    if (numStates == 0)
        in.fail(offset, "%s gives no <NUMSTATES>", where.c_str());
    if (numStates > capacityOf(capacity::states))
        in.fail(numStatesAt, "%s has %d states, more than the %d the set holds (entry and exit included)",
                where.c_str(), numStates, MAX_STATE_NUM);
    // HTK's loader takes no model without an emitting state.
    if (!withinCapacity(capacity::states, numStates, 3))
        in.fail(numStatesAt, "%s has %d states: an HTK model has 3 to %d (entry and exit included)",
                where.c_str(), numStates, MAX_STATE_NUM);

    if (prefaulter_)
        prefaulter_->reached(modelNum_);
    if (static_cast<size_t>(modelNum_) == capacity_) {
        prefaulter_.reset();
        size_t fresh = capacity_ ? capacity_ * 2 : 64;
        model_.reset(grow(model_.release(), capacity_, fresh));
        capacity_ = fresh;
    }
    hmmModel &model = model_.get()[modelNum_];
    std::memcpy(model.str, name.c_str(), name.size() + 1);
    model.stateNum = numStates;

    bool seen[MAX_STATE_NUM] = {};
    for (;;) {
        const symbol &p = in.peek();
        if (p.kind != symbol::keyword || p.code != STATE)
            break;
        const long at = p.offset;
        bool binary = p.binary;
        in.take();
        int i = in.integer(binary);
        if (i < 2 || i > numStates - 1)
            in.fail(at, "%s: <STATE> %d is outside 2..%d", where.c_str(), i, numStates - 1);
        if (seen[i - 1])
            in.fail(at, "%s: state %d is given twice", where.c_str(), i);
        seen[i - 1] = true;
        std::string stateWhere = where + ", state " + std::to_string(i);
        readState(in, model.state[i - 2], stateWhere.c_str());
    }
    for (int i = 2; i < numStates; i++)
        if (!seen[i - 1]) {
            const symbol &p = in.peek();
            if (p.kind == symbol::end)
                in.fail(p.offset, "the file is cut short: %s ends before its state %d", where.c_str(), i);
            in.fail(p.offset, "%s: state %d is missing (found %s)", where.c_str(), i, describe(p).c_str());
        }

    symbol t = in.next();
    transMacro trans{};
    if (t.kind == symbol::macro && t.letter == 't') {
        definition &d = use(in, t);
        trans = transitions_[d.index];
        summary_.inlinedTransitions++;
    } else if (t.kind == symbol::keyword && t.code == TRANSP) {
        readTransP(in, t, trans);
    } else if (t.kind == symbol::end) {
        in.fail(t.offset, "the file is cut short: %s ends before its <TRANSP>", where.c_str());
    } else {
        in.fail(t.offset, "%s: expected <TRANSP> or ~t, found %s", where.c_str(), describe(t).c_str());
    }
    if (trans.n != numStates)
        in.fail(t.offset, "%s: a transition matrix of %d states in a model of %d", where.c_str(), trans.n,
                numStates);
    std::memcpy(model.transProb, trans.values, sizeof model.transProb);

    const symbol &d = in.peek();
    if ((d.kind == symbol::keyword && d.code == DURATION) || (d.kind == symbol::macro && d.letter == 'd')) {
        symbol head = in.next();
        skipDuration(in, head);
    }
    expect(in, ENDHMM, where.c_str());
    modelNum_++;
}

void importer::skipDuration(source &in, const symbol &head)
{
    summary_.skippedDurations++;
    if (head.kind == symbol::macro) {
        use(in, head);
        return;
    }
    int n = in.integer(head.binary);
    in.skipReals(head.binary, n);
}

void importer::checkWeights(source &in, long offset, double sum, const char *what, const char *where)
{
    if (!(sum >= 0.99 && sum <= 1.01))
        in.fail(offset, "%s: %s add up to %g, not 1 (HTK takes 0.99 to 1.01)", where, what, sum);
}

void importer::readState(source &in, hmmState &state, const char *where)
{
    const symbol &p = in.peek();
    if (p.kind == symbol::macro && p.letter == 's') {
        symbol s = in.next();
        definition &d = use(in, s);
        unpack(states_[d.index], state);
        summary_.inlinedStates++;
        return;
    }
    const int S = options_.streamNum;
    int numMixes[MAX_STREAM_NUM] = {1, 1, 1};
    if (p.kind == symbol::keyword && p.code == NUMMIXES) {
        bool binary = p.binary;
        long at = p.offset;
        in.take();
        for (int s = 0; s < S; s++) {
            numMixes[s] = in.integer(binary);
            if (numMixes[s] < 1)
                in.fail(at, "%s: <NUMMIXES> %d in stream %d", where, numMixes[s], s + 1);
        }
    }
    for (int s = 0; s < S; s++)
        state.streamWeight[s] = 1.0f;
    const symbol &w = in.peek();
    if (w.kind == symbol::keyword && w.code == SWEIGHTS) {
        bool binary = w.binary;
        long at = w.offset;
        in.take();
        int n = in.integer(binary);
        if (n != S)
            in.fail(at, "%s: %d stream weights in a set of %d streams", where, n, S);
        in.reals(binary, state.streamWeight, n);
    } else if (w.kind == symbol::macro && w.letter == 'w') {
        symbol ref = in.next();
        definition &d = use(in, ref);
        std::memcpy(state.streamWeight, weights_[d.index].values, sizeof(float) * S);
        summary_.inlinedWeights++;
    }
    bool seen[MAX_STREAM_NUM] = {};
    const symbol &h = in.peek();
    if (h.kind != symbol::keyword || h.code != STREAM) {
        // Components without a <STREAM> header are stream 1's, as HTK's loader takes them,
        // however many streams the set has (htk-mmf.md, section 7.2).
        readStream(in, state.stream[0], 0, numMixes[0], where);
        seen[0] = true;
    }
    for (;;) {
        const symbol &q = in.peek();
        if (S == 1 || q.kind != symbol::keyword || q.code != STREAM)
            break;
        long at = q.offset;
        bool binary = q.binary;
        in.take();
        int s = in.integer(binary);
        if (s < 1 || s > S)
            in.fail(at, "%s: <STREAM> %d is outside 1..%d", where, s, S);
        if (seen[s - 1])
            in.fail(at, "%s: stream %d is given twice", where, s);
        seen[s - 1] = true;
        readStream(in, state.stream[s - 1], s - 1, numMixes[s - 1], where);
    }
    for (int s = 0; s < S; s++)
        if (!seen[s])
            in.fail(in.peek().offset, "%s: stream %d is missing", where, s + 1);
    const symbol &d = in.peek();
    if ((d.kind == symbol::keyword && d.code == DURATION) || (d.kind == symbol::macro && d.letter == 'd')) {
        symbol head = in.next();
        skipDuration(in, head);
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

void importer::readStream(source &in, hmmStream &stream, int s, int numMixes, const char *where)
{
    const symbol &p = in.peek();
    const long streamAt = p.offset;
    if (p.kind == symbol::keyword && (p.code == TMIX || p.code == DPROB))
        in.fail(p.offset, "%s: %s: %s models cannot be represented", where, keywordName(p.code),
                p.code == TMIX ? "tied-mixture" : "discrete");
    if (p.kind == symbol::end)
        in.fail(p.offset, "the file is cut short: %s ends before its Gaussians", where);

    // Components go straight into the stream while their numbers rise and fit; anything else
    // (a number out of order or repeated, more than the record holds) moves them all to the
    // scratch list, which is sorted at the end.
    int indices[MAX_MIXTURE_NUM];
    int count = 0;
    bool spilled = false;
    double sum = 0;
    auto slotFor = [&](int k) -> hmmMixture & {
        if (!spilled) {
            if (count < MAX_MIXTURE_NUM && (count == 0 || indices[count - 1] < k)) {
                indices[count] = k;
                return stream.mixture[count++];
            }
            scratch_.clear();
            for (int j = 0; j < count; j++)
                scratch_.push_back(component{indices[j], stream.mixture[j]});
            spilled = true;
        }
        for (component &c : scratch_)
            if (c.index == k) {   // a second component of one number replaces the first
                sum -= c.mixture.mixtureWeight;
                return c.mixture;
            }
        scratch_.push_back(component{k, {}});
        return scratch_.back().mixture;
    };

    if (!(p.kind == symbol::keyword && p.code == MIXTURE)) {
        hmmMixture &mixture = slotFor(1);
        readGaussian(in, mixture, width(s), where);
        mixture.mixtureWeight = 1.0f;
        sum = 1.0;
    } else {
        for (;;) {
            long at;
            int k;
            float weight;
            if (!in.binaryMixture(k, weight, at)) {
                const symbol &q = in.peek();
                if (q.kind != symbol::keyword || q.code != MIXTURE)
                    break;
                at = q.offset;
                bool binary = q.binary;
                in.take();
                k = in.integer(binary);
                weight = in.real(binary);
            }
            if (k < 1 || k > numMixes)
                in.fail(at, "%s: <MIXTURE> %d is outside 1..%d (<NUMMIXES>)", where, k, numMixes);
            if (!isProbability(weight))
                in.fail(at, "%s: <MIXTURE> %d has the weight %g, not a probability (0 to 1)", where, k, weight);
            hmmMixture &mixture = slotFor(k);
            readGaussian(in, mixture, width(s), where);
            mixture.mixtureWeight = weight;
            sum += weight;
        }
    }
    checkWeights(in, streamAt, sum, "the component weights", where);

    int present = count;
    int kept = 0;
    if (spilled) {
        std::stable_sort(scratch_.begin(), scratch_.end(),
                         [](const component &a, const component &b) { return a.index < b.index; });
        present = static_cast<int>(scratch_.size());
        for (const component &c : scratch_)
            if (c.mixture.mixtureWeight > DEFUNCT_WEIGHT) {
                if (!withinCapacity(capacity::mixtures, kept + 1)) {
                    int all = 0;
                    for (const component &d : scratch_)
                        all += d.mixture.mixtureWeight > DEFUNCT_WEIGHT ? 1 : 0;
                    in.fail(streamAt, "%s, stream %d: %d components, more than the %d the set holds", where, s + 1,
                            all, MAX_MIXTURE_NUM);
                }
                stream.mixture[kept++] = c.mixture;
            }
    } else {
        for (int j = 0; j < count; j++)
            if (stream.mixture[j].mixtureWeight > DEFUNCT_WEIGHT) {
                if (kept != j)
                    stream.mixture[kept] = stream.mixture[j];
                kept++;
            }
    }
    for (int j = kept; j < count || (spilled && j < MAX_MIXTURE_NUM); j++)
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

// Reads <MEAN>/<VARIANCE> n and its values into values; returns n. width 0: any length the
// record holds; else exactly width.
int importer::readVector(source &in, const symbol &head, float *values, int width, const char *what)
{
    int n = in.integer(head.binary);
    if (!withinCapacity(capacity::vectorSize, n, 1))
        in.fail(head.offset, "a %s of %d values: the set holds vectors of 1 to %d values", what, n, MAX_PARAM_NUM);
    if (width && n != width)
        in.fail(head.offset, "a %s of %d values in a stream of %d", what, n, width);
    in.reals(head.binary, values, n);
    return n;
}

// The Gaussian's constant as HTK computes it: in single precision (htk-mmf.md, section 8.1).
static float computeGconst(const float *variance, int n)
{
    float sum = static_cast<float>(n * std::log(6.28318530717959));
    for (int i = 0; i < n; i++)
        sum += variance[i] <= 2.45e-308 ? -1.0e10f : static_cast<float>(std::log(static_cast<double>(variance[i])));
    return sum;
}

// Reads a Gaussian (mean, variance, constant) into mixture, its weight untouched; returns its
// vector length. width 0 (a ~m body): any length, the same for mean and variance.
int importer::readGaussian(source &in, hmmMixture &mixture, int width, const char *where)
{
    if (width) {
        switch (in.binaryGaussian(mixture.mean, mixture.variance, mixture.gconst, width)) {
        case 2:
            return width;
        case 1:
            mixture.gconst = computeGconst(mixture.variance, width);
            summary_.computedGconsts++;
            return width;
        default:
            break;
        }
    }
    symbol p = in.next();
    if (p.kind == symbol::keyword && p.code == RCLASS) {
        in.integer(p.binary);
        p = in.next();
    }
    if (p.kind == symbol::macro && p.letter == 'm') {
        definition &d = use(in, p);
        const gaussianMacro &g = gaussians_[d.index];
        if (width && g.n != width)
            in.fail(p.offset, "%s: ~m \"%s\" has vectors of %d values in a stream of %d", where, p.text.c_str(), g.n,
                    width);
        const float weight = mixture.mixtureWeight;
        mixture = g.mixture;
        mixture.mixtureWeight = weight;
        summary_.inlinedMixtures++;
        return g.n;
    }
    int n = 0;
    if (p.kind == symbol::macro && p.letter == 'u') {
        definition &d = use(in, p);
        const vectorMacro &v = vectors_[d.index];
        if (width && v.n != width)
            in.fail(p.offset, "%s: ~u \"%s\" has %d values in a stream of %d", where, p.text.c_str(), v.n, width);
        std::memcpy(mixture.mean, v.values, sizeof(float) * v.n);
        n = v.n;
        summary_.inlinedMeans++;
    } else if (p.kind == symbol::keyword && p.code == MEAN) {
        n = readVector(in, p, mixture.mean, width, "mean");
    } else if (p.kind == symbol::end) {
        in.fail(p.offset, "the file is cut short: %s ends before a <MEAN>", where);
    } else {
        in.fail(p.offset, "%s: expected <MEAN>, ~u or ~m, found %s", where, describe(p).c_str());
    }
    symbol c = in.next();
    if (c.kind == symbol::macro && c.letter == 'v') {
        definition &d = use(in, c);
        const vectorMacro &v = vectors_[d.index];
        if (v.n != n)
            in.fail(c.offset, "%s: ~v \"%s\" has %d values for a mean of %d", where, c.text.c_str(), v.n, n);
        std::memcpy(mixture.variance, v.values, sizeof(float) * v.n);
        summary_.inlinedVariances++;
    } else if (c.kind == symbol::keyword && c.code == VARIANCE) {
        readVector(in, c, mixture.variance, n, "variance");
    } else if ((c.kind == symbol::keyword && (c.code == INVCOVAR || c.code == LLTCOVAR || c.code == XFORM)) ||
               (c.kind == symbol::macro && (c.letter == 'i' || c.letter == 'c' || c.letter == 'x'))) {
        in.fail(c.offset, "%s: %s: full covariances cannot be represented (diagonal variances only)", where,
                describe(c).c_str());
    } else if (c.kind == symbol::end) {
        in.fail(c.offset, "the file is cut short: %s ends before a <VARIANCE>", where);
    } else {
        in.fail(c.offset, "%s: expected <VARIANCE> or ~v, found %s", where, describe(c).c_str());
    }
    const symbol &g = in.peek();
    if (g.kind == symbol::keyword && g.code == GCONST) {
        bool binary = g.binary;
        in.take();
        mixture.gconst = in.real(binary);
    } else {
        mixture.gconst = computeGconst(mixture.variance, n);
        summary_.computedGconsts++;
    }
    return n;
}

void importer::readTransP(source &in, const symbol &head, transMacro &out)
{
    int n = in.integer(head.binary);
    if (n > capacityOf(capacity::states))
        in.fail(head.offset, "a transition matrix of %d states, more than the %d the set holds", n, MAX_STATE_NUM);
    if (!withinCapacity(capacity::states, n, 2))
        in.fail(head.offset, "a transition matrix of %d states", n);
    out.n = n;
    for (int r = 0; r < n; r++) {
        in.reals(head.binary, out.values[r], n);
        for (int c = 0; c < n; c++)
            if (!isProbability(out.values[r][c]))
                in.fail(head.offset, "row %d, column %d of the transition matrix: %g is not a probability (0 to 1)",
                        r + 1, c + 1, out.values[r][c]);
    }
    for (int r = 0; r < n - 1; r++) {
        double sum = 0;
        for (int c = 0; c < n; c++)
            sum += out.values[r][c];
        if (!(sum >= 0.99 && sum <= 1.01))
            in.fail(head.offset, "row %d of the transition matrix adds up to %g, not 1 (HTK takes 0.99 to 1.01)",
                    r + 1, sum);
    }
}

void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary)
{
    summary = htkImportSummary();
    importer(summary).run(set, paths);
}

void importHtk(macroClass &set, const std::vector<std::string> &paths)
{
    htkImportSummary summary;
    importHtk(set, paths, summary);
}

}  // namespace mac2mod
