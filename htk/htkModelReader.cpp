// The import's reading of a model, its states and its transition matrix.
#include "htk/htkReader.h"

#include <cstring>

namespace mac2mod::htk {

// The model's name, its options and its state count, checked; returns the count.
int reader::readModelHead(source &in, const std::string &name, const std::string &where, long offset,
                          bool headerless)
{
    sink_.counted(in, offset, count::nameLength, static_cast<long>(name.size()), name);
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
    // HTK's loader takes no model without an emitting state.
    if (numStates < 3)
        in.fail(numStatesAt, "%s has %d states: an HTK model has 3 to %d (entry and exit included)",
                where.c_str(), numStates, MAX_STATE_NUM);
    sink_.counted(in, numStatesAt, count::modelStates, numStates, where);
    return numStates;
}

void reader::readModel(source &in, const std::string &name, long offset, bool headerless)
{
    // Named as every message of the tools names a model: by its index in the set and its name.
    const std::string where = formatted("model %d (\"%s\")", modelNum_, name.c_str());
    const int numStates = readModelHead(in, name, where, offset, headerless);
    sink_.modelBegins(name, numStates);
    readModelStates(in, numStates, where);

    symbol t = in.next();
    transDef trans{};
    int shared = -1;
    if (t.kind == symbol::macro && t.letter == 't') {
        const definition &d = use(in, t);
        shared = d.index;
        trans.n = d.n;
    } else if (t.kind == symbol::keyword && t.code == TRANSP) {
        readTransP(in, t, trans, false);
    } else if (t.kind == symbol::end) {
        in.fail(t.offset, "the file is cut short: %s ends before its <TRANSP>", where.c_str());
    } else {
        in.fail(t.offset, "%s: expected <TRANSP> or ~t, found %s", where.c_str(), describe(t).c_str());
    }
    if (trans.n != numStates)
        in.fail(t.offset, "%s: a transition matrix of %d states in a model of %d", where.c_str(), trans.n,
                numStates);
    sink_.transition(trans, shared);

    const symbol &d = in.peek();
    if ((d.kind == symbol::keyword && d.code == DURATION) || (d.kind == symbol::macro && d.letter == 'd')) {
        symbol head = in.next();
        skipDuration(in, head);
    }
    expect(in, ENDHMM, where.c_str());
    sink_.modelEnds();
    modelNum_++;
}

// The model's <STATE>s 2 ... numStates - 1, each once, in any order.
void reader::readModelStates(source &in, int numStates, const std::string &where)
{
    std::vector<bool> seen(numStates);
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
        if (observer_)
            ownerState_ = stateWhere;
        stateDef state;
        state.number = i;
        readState(in, state, stateWhere.c_str());
    }
    for (int i = 2; i < numStates; i++)
        if (!seen[i - 1]) {
            const symbol &p = in.peek();
            if (p.kind == symbol::end)
                in.fail(p.offset, "the file is cut short: %s ends before its state %d", where.c_str(), i);
            in.fail(p.offset, "%s: state %d is missing (found %s)", where.c_str(), i, describe(p).c_str());
        }
}

void reader::skipDuration(source &in, const symbol &head)
{
    sink_.skipped(skip::duration);
    if (head.kind == symbol::macro) {
        use(in, head);
        return;
    }
    int n = in.integer(head.binary);
    in.skipReals(head.binary, n);
}

// A state by reference (~s), or its <NUMMIXES>, stream weights and streams; to the untying
// as stateBegins, each stream, stateEnds.
void reader::readState(source &in, stateDef &state, const char *where)
{
    const symbol &p = in.peek();
    if (p.kind == symbol::macro && p.letter == 's') {
        symbol s = in.next();
        state.shared = use(in, s).index;
        sink_.stateBegins(state);
        sink_.stateEnds();
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
    readStreamWeights(in, state, where);
    sink_.stateBegins(state);
    bool seen[MAX_STREAM_NUM] = {};
    const symbol &h = in.peek();
    if (h.kind != symbol::keyword || h.code != STREAM) {
        // Components without a <STREAM> header are stream 1's, as HTK's loader takes them,
        // however many streams the set has (htk-mmf.md, section 7.2).
        readStream(in, 0, numMixes[0], where);
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
        readStream(in, s - 1, numMixes[s - 1], where);
    }
    for (int s = 0; s < S; s++)
        if (!seen[s])
            in.fail(in.peek().offset, "%s: stream %d is missing", where, s + 1);
    const symbol &d = in.peek();
    if ((d.kind == symbol::keyword && d.code == DURATION) || (d.kind == symbol::macro && d.letter == 'd')) {
        symbol head = in.next();
        skipDuration(in, head);
    }
    sink_.stateEnds();
}

// 1.0 each, unless the state gives <SWEIGHTS> or ~w.
void reader::readStreamWeights(source &in, stateDef &state, const char *where)
{
    const int S = options_.streamNum;
    for (int s = 0; s < S; s++)
        state.weightValues[s] = 1.0f;
    const symbol &w = in.peek();
    if (w.kind == symbol::keyword && w.code == SWEIGHTS) {
        bool binary = w.binary;
        long at = w.offset;
        in.take();
        int n = in.integer(binary);
        if (n != S)
            in.fail(at, "%s: %d stream weights in a set of %d streams", where, n, S);
        in.reals(binary, state.weightValues, n);
    } else if (w.kind == symbol::macro && w.letter == 'w') {
        symbol ref = in.next();
        state.weights = use(in, ref).index;
    }
}

void reader::readTransP(source &in, const symbol &head, transDef &out, bool shared)
{
    int n = in.integer(head.binary);
    if (n < 2)
        in.fail(head.offset, "a transition matrix of %d states", n);
    out.n = n;
    // A model's matrix is counted by its <NUMSTATES>.
    if (shared)
        sink_.counted(in, head.offset, count::matrixStates, n, "a transition matrix");
    if (n > MAX_STATE_NUM) {
        in.skipReals(head.binary, static_cast<long>(n) * n);
        return;
    }
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

}  // namespace mac2mod::htk
