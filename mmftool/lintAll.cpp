#include "hmm/setIO.h"
#include "mmftool/lint.h"
#include "utility/error.h"

namespace {

// A second read of a set's file tells the checks where each model and value stands; the
// values they are shown are those the set holds now, which its owner may have changed since.
// What lies beyond the held set is passed over: the file no longer matches it, which the
// caller finds once the read is done.
class heldValues : public fieldObserver {
public:
    heldValues(const hmmSet &held, fieldObserver &checks) : held_(held), checks_(checks) {}

    void bytes(const char *bytes, size_t n) override { checks_.bytes(bytes, n); }
    void model(int m, long offset) override
    {
        if (m < held_.modelNum)
            checks_.model(m, offset);
    }
    void value(const valueSite &site, float, long offset) override
    {
        if (heldIn(held_, site))
            checks_.value(site, heldAt(held_, site), offset);
    }
    void stream(int m, int e, int s, int given, long countsOffset) override
    {
        if (heldIn(held_, {fieldKind::streamWeight, m, e, s, -1, -1}))
            checks_.stream(m, e, s, given, countsOffset);
    }
    void end(long offset) override { checks_.end(offset); }

private:
    const hmmSet &held_;
    fieldObserver &checks_;
};

bool sameShape(const hmmSet &a, const hmmSet &b)
{
    if (a.modelNum != b.modelNum || a.streamNum != b.streamNum)
        return false;
    for (int m = 0; m < a.modelNum; m++) {
        if (a.model[m].stateNum != b.model[m].stateNum)
            return false;
        for (int e = 0; e < a.model[m].stateNum - 2; e++)
            for (int s = 0; s < a.streamNum; s++)
                if (a.model[m].state[e].stream[s].mixtureNum != b.model[m].state[e].stream[s].mixtureNum)
                    return false;
    }
    return true;
}

}  // namespace

std::vector<finding> lintAll(const hmmSet &set, setLint lint, const char *tablePath)
{
    std::vector<finding> tableFindings;
    if (tablePath)
        tableFindings = lintTable(set, tablePath, lint);
    lint.lines.place(lint.findings, lint.path);
    std::vector<finding> findings = std::move(lint.findings);
    findings.insert(findings.end(), tableFindings.begin(), tableFindings.end());
    return findings;
}

std::vector<finding> lintAll(const macroClass &set, const std::string &path, bool binary,
                             const char *tablePath)
{
    std::unique_ptr<setWatch> watch = watchSet(set.MMF, path, binary);
    heldValues held(set.MMF, *watch);
    macroClass again;
    mac2mod::readSet(again, path, &held);
    if (!sameShape(again.MMF, set.MMF))
        mac2mod::raisef(1, "Error: \"%s\" no longer holds the set that was read from it.\n", path.c_str());
    return lintAll(set.MMF, watch->finish(), tablePath);
}
