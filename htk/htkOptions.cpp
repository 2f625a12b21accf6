// The import's global options: <STREAMINFO>, <VECSIZE>, the parameter kind and the rest, in
// ~o or inside the first model, fixed once and compared with any given again.
#include <algorithm>
#include <climits>

#include "htk/htkReader.h"

namespace mac2mod::htk {

void reader::readOptions(source &in, optionSet &given, bool inModel)
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
            sink_.counted(in, at, count::streams, n, "");
            given.streamNum = n;
            for (int s = 0; s < n; s++) {
                given.width[s] = in.integer(binary);
                const std::string stream = "stream " + std::to_string(s + 1);
                if (given.width[s] < 1)
                    in.fail(at, "%s", capacityExceeded(capacity::vectorSize, stream, given.width[s]).c_str());
                sink_.counted(in, at, count::vectorSize, given.width[s], stream);
            }
            break;
        }
        case VECSIZE:
            in.take();
            given.vecSize = in.integer(binary);
            if (given.vecSize < 1)
                in.fail(at, "%s", capacityExceeded(capacity::vectorSize, "<VECSIZE>", given.vecSize).c_str());
            sink_.counted(in, at, count::vecSize, given.vecSize, "<VECSIZE>");
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

void reader::fixOptions(source &in, const optionSet &given, long offset)
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
    // A width past the capacity is refused at the end, not where it is read, so the widths may
    // add up past what an int holds.
    long long widths = 0;
    for (int s = 0; s < o.streamNum; s++)
        widths += o.width[s];
    if (o.vecSize == 0)
        o.vecSize = static_cast<int>(std::clamp<long long>(widths, INT_MIN, INT_MAX));
    if (!optionsFixed_) {
        if (o.streamNum == 0)
            in.fail(offset, "the global options give neither <VECSIZE> nor <STREAMINFO>");
        if (widths != o.vecSize)
            in.fail(offset, "<VECSIZE> %d is not the sum %lld of the <STREAMINFO> widths", o.vecSize, widths);
        // Widths from <STREAMINFO> were weighed as they were read.
        if (given.streamNum == 0)
            sink_.counted(in, offset, count::vectorSize, o.width[0], "<VECSIZE>");
        if (o.parmKind.empty())
            in.fail(offset, "the global options give no parameter kind (<MFCC_D_A>, <FBANK>, ...)");
        options_ = o;
        if (options_.durKind < 0)
            options_.durKind = NULLD;
        optionsFixed_ = true;
        optionsPlace_ = in.place(offset);
        sink_.optionsFixed(options_);
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

void reader::needOptions(source &in, long offset, const char *what)
{
    if (!optionsFixed_)
        in.fail(offset, "%s before the global options (~o): the file giving them must come first", what);
}

}  // namespace mac2mod::htk
