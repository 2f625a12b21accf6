// The text walk takes the same conversions, in the same order and with the same lookahead,
// as the text reader (textMacroReader.cpp), so that each place is where the reader took the
// value. It checks nothing: the file has been read, and the set's counts steer the loops.
#include <string>

#include "hmm/macroScanner.h"
#include "mmftool/fieldSites.h"
#include "utility/error.h"
#include "utility/fileUtil.h"

namespace {

class textWalk {
public:
    textWalk(const hmmSet &set, FILE *stream, siteVisitor &visitor)
        : set_(set), scan_(stream), visitor_(visitor) {}

    void run()
    {
        token();
        token();
        if (is("<HMMSETID>")) {
            token();
            token();
        }
        skipInteger();   // streamNum
        for (int s = 0; s < set_.streamNum; s++)
            skipInteger();
        token();
        scan_.restOfLine(line_, sizeof line_);
        for (int m = 0; m < set_.modelNum; m++)
            model(m);
        visitor_.end(scan_.offset());
    }

private:
    bool is(const char *keyword) const { return str1_ == keyword; }
    bool token() { return scan_.token(str1_) == macroScanner::ok; }
    void skipInteger()
    {
        int unused;
        scan_.integer(unused);
    }
    void real(const valueSite &site)
    {
        float unused;
        scan_.real(unused);
        visitor_.value(site, scan_.lastStart());
    }
    void head(const char *keyword)
    {
        if (!is(keyword))
            token();
        skipInteger();
        pending_ = false;
    }

    void model(int m)
    {
        const hmmModel &model = set_.model[m];
        token();
        if (is("~r"))
            while (token() && !is("~h")) {
            }
        visitor_.model(m, scan_.lastStart());
        scan_.quotedName(line_, sizeof line_);
        token();
        token();
        skipInteger();
        for (int e = 0; e < model.stateNum - 2; e++)
            state(m, e);
        head("<TRANSP>");
        for (int r = 0; r < model.stateNum; r++)
            for (int c = 0; c < model.stateNum; c++)
                real({fieldKind::transition, m, -1, -1, -1, r * MAX_STATE_NUM + c});
        token();
    }

    void state(int m, int e)
    {
        head("<STATE>");
        token();
        long countsAt = scan_.lastStart();
        bool weightsGiven = true;
        if (is("<NUMMIXES>")) {
            for (int s = 0; s < set_.streamNum; s++)
                skipInteger();
            token();
            if (is("<SWEIGHTS>"))
                skipInteger();
            else
                weightsGiven = false;
        } else {
            skipInteger();
        }
        for (int s = 0; s < set_.streamNum && weightsGiven; s++)
            real({fieldKind::streamWeight, m, e, s, -1, -1});
        for (int s = 0; s < set_.streamNum; s++) {
            if (set_.streamNum >= 2)
                head("<STREAM>");
            visitor_.stream(m, e, s, stream(m, e, s), countsAt);
        }
    }

    // Returns how many components the file gave.
    int stream(int m, int e, int s)
    {
        const int mixtureNum = set_.model[m].state[e].stream[s].mixtureNum;
        for (int k = 0; k < mixtureNum; k++) {
            if (mixtureNum > 1) {
                if (!pending_ && !is("<MIXTURE>"))
                    token();
                pending_ = false;
                if (!is("<MIXTURE>"))
                    return k;
                skipInteger();
                real({fieldKind::mixtureWeight, m, e, s, k, -1});
            }
            component(m, e, s, k);
        }
        return mixtureNum;
    }

    void component(int m, int e, int s, int k)
    {
        const int vecSize = set_.vecSize[s];
        token();
        skipInteger();
        if (is("<RCLASS>")) {
            token();
            skipInteger();
        }
        for (int v = 0; v < vecSize; v++)
            real({fieldKind::mean, m, e, s, k, v});
        token();
        skipInteger();
        for (int v = 0; v < vecSize; v++)
            real({fieldKind::variance, m, e, s, k, v});
        token();
        if (is("<GCONST>"))
            real({fieldKind::gconst, m, e, s, k, -1});
        else
            pending_ = true;
    }

    const hmmSet &set_;
    macroScanner scan_;
    siteVisitor &visitor_;
    std::string str1_;
    char line_[MAX_STR_LEN] = "";
    bool pending_ = false;
};

}  // namespace

void walkTextSites(const hmmSet &set, const std::string &path, siteVisitor &visitor)
{
    uniqueFile stream(std::fopen(path.c_str(), "r"));
    if (!stream)
        mac2mod::raisef(-1, "Error: Cannot open \"%s\".\n", path.c_str());
    textWalk(set, stream.get(), visitor).run();
}
