// The import's reading of a stream's components and of each Gaussian's mean, variance and
// constant, by value or by reference.
#include "htk/htkReader.h"

#include <algorithm>

namespace mac2mod::htk {

// "model 3 (\"a\"), state 2, stream 1, component 3" (the stream where the set has several).
std::string reader::componentName(int s, int k) const
{
    if (options_.streamNum > 1)
        return formatted("%s, stream %d, component %d", ownerState_.c_str(), s + 1, k);
    return formatted("%s, component %d", ownerState_.c_str(), k);
}

void reader::tell(source &in, fieldKind field, const float *values, const long *offsets, int n)
{
    if (!owner_.empty())
        observer_->vector(file_, in.seenBinary(), owner_, field, values, offsets, n);
}

void reader::checkWeights(source &in, long offset, double sum, const char *what, const char *where)
{
    if (!(sum >= 0.99 && sum <= 1.01))
        in.fail(offset, "%s: %s add up to %g, not 1 (HTK takes 0.99 to 1.01)", where, what, sum);
}

// Stream s's components, each a Gaussian of the stream's width, to the untying as written.
void reader::readStream(source &in, int s, int numMixes, const char *where)
{
    const symbol &p = in.peek();
    const long streamAt = p.offset;
    if (p.kind == symbol::keyword && (p.code == TMIX || p.code == DPROB))
        in.fail(p.offset, "%s: %s: %s models cannot be represented", where, keywordName(p.code),
                p.code == TMIX ? "tied-mixture" : "discrete");
    if (p.kind == symbol::end)
        in.fail(p.offset, "the file is cut short: %s ends before its Gaussians", where);

    stream_.offset = streamAt;
    stream_.stream = s;
    stream_.numMixes = numMixes;
    stream_.where = where;
    stream_.components.clear();
    sum_ = 0;
    const int width = options_.width[s];
    if (!(p.kind == symbol::keyword && p.code == MIXTURE)) {
        componentDef &c = nextComponent(1, 1.0f);
        if (observer_)
            owner_ = componentName(s, 1);
        readGaussian(in, c.gaussian, width, where);
        sum_ = 1.0;
    } else {
        for (;;) {
            const symbol &q = in.peek();
            if (q.kind != symbol::keyword || q.code != MIXTURE)
                break;
            const long at = q.offset;
            const bool binary = q.binary;
            in.take();
            const int k = in.integer(binary);
            const float weight = in.real(binary);
            if (k < 1 || k > numMixes)
                in.fail(at, "%s: <MIXTURE> %d is outside 1..%d (<NUMMIXES>)", where, k, numMixes);
            if (!isProbability(weight))
                in.fail(at, "%s: <MIXTURE> %d has the weight %g, not a probability (0 to 1)", where, k, weight);
            componentDef &c = nextComponent(k, weight);
            // Components HTK treats as absent are no part of the set, nor of what is told.
            if (observer_)
                owner_ = weight > DEFUNCT_WEIGHT ? componentName(s, k) : std::string();
            readGaussian(in, c.gaussian, width, where);
            sum_ += weight;
        }
    }
    checkWeights(in, streamAt, sum_, "the component weights", where);
    if (observer_)
        observer_->weights(file_, in.seenBinary(), streamAt,
                           options_.streamNum > 1 ? formatted("%s, stream %d", ownerState_.c_str(), s + 1) : ownerState_,
                           sum_);
    sink_.stream(in, stream_);
}

// A component appended to the stream. A number given before is given anew: the weight sum
// counts the last weight of each number.
componentDef &reader::nextComponent(int number, float weight)
{
    std::vector<componentDef> &all = stream_.components;
    if (!all.empty() && number <= highest_) {
        auto earlier = std::find_if(all.rbegin(), all.rend(), [number](const componentDef &c) { return c.number == number; });
        if (earlier != all.rend())
            sum_ -= earlier->weight;
    }
    highest_ = all.empty() ? number : std::max(highest_, number);
    all.emplace_back();
    componentDef &c = all.back();
    c.number = number;
    c.weight = weight;
    return c;
}

// A Gaussian (mean, variance, constant) as written. width 0 (a ~m body): vectors of any
// length, the same for mean and variance; else exactly width.
void reader::readGaussian(source &in, gaussianDef &g, int width, const char *where)
{
    g.mixture = g.mean = g.variance = -1;
    symbol p = in.next();
    if (p.kind == symbol::keyword && p.code == RCLASS) {
        in.integer(p.binary);
        p = in.next();
    }
    if (p.kind == symbol::macro && p.letter == 'm') {
        const definition &d = use(in, p);
        if (width && d.n != width)
            in.fail(p.offset, "%s: ~m \"%s\" has vectors of %d values in a stream of %d", where, p.text.c_str(), d.n,
                    width);
        g.mixture = d.index;
        g.n = d.n;
        return;
    }
    if (p.kind == symbol::macro && p.letter == 'u') {
        const definition &d = use(in, p);
        if (width && d.n != width)
            in.fail(p.offset, "%s: ~u \"%s\" has %d values in a stream of %d", where, p.text.c_str(), d.n, width);
        g.mean = d.index;
        g.n = d.n;
    } else if (p.kind == symbol::keyword && p.code == MEAN) {
        g.n = readVector(in, p, g.meanValues, width, "mean");
    } else if (p.kind == symbol::end) {
        in.fail(p.offset, "the file is cut short: %s ends before a <MEAN>", where);
    } else {
        in.fail(p.offset, "%s: expected <MEAN>, ~u or ~m, found %s", where, describe(p).c_str());
    }
    readVariance(in, g, where);
    readGconst(in, g);
}

void reader::readVariance(source &in, gaussianDef &g, const char *where)
{
    symbol c = in.next();
    if (c.kind == symbol::macro && c.letter == 'v') {
        const definition &d = use(in, c);
        if (d.n != g.n)
            in.fail(c.offset, "%s: ~v \"%s\" has %d values for a mean of %d", where, c.text.c_str(), d.n, g.n);
        g.variance = d.index;
    } else if (c.kind == symbol::keyword && c.code == VARIANCE) {
        readVector(in, c, g.varianceValues, g.n, "variance");
    } else if ((c.kind == symbol::keyword && (c.code == INVCOVAR || c.code == LLTCOVAR || c.code == XFORM)) ||
               (c.kind == symbol::macro && (c.letter == 'i' || c.letter == 'c' || c.letter == 'x'))) {
        in.fail(c.offset, "%s: %s: full covariances cannot be represented (diagonal variances only)", where,
                describe(c).c_str());
    } else if (c.kind == symbol::end) {
        in.fail(c.offset, "the file is cut short: %s ends before a <VARIANCE>", where);
    } else {
        in.fail(c.offset, "%s: expected <VARIANCE> or ~v, found %s", where, describe(c).c_str());
    }
}

// The Gaussian's <GCONST>, when the file gives one.
void reader::readGconst(source &in, gaussianDef &g)
{
    const symbol &p = in.peek();
    g.gconstGiven = p.kind == symbol::keyword && p.code == GCONST;
    if (!g.gconstGiven)
        return;
    const bool binary = p.binary;
    in.take();
    long at[1];
    in.reals(binary, &g.gconst, 1, observer_ ? at : nullptr);
    if (observer_)
        tell(in, fieldKind::gconst, &g.gconst, at, 1);
}

// Reads <MEAN>/<VARIANCE> n and its values into values; returns n. width 0: any length;
// else exactly width. Values past what a record holds are read past.
int reader::readVector(source &in, const symbol &head, float *values, int width, const char *what)
{
    const int n = in.integer(head.binary);
    if (n < 1)
        in.fail(head.offset, "%s", capacityExceeded(capacity::vectorSize, std::string("a ") + what, n).c_str());
    if (width && n != width)
        in.fail(head.offset, "a %s of %d values in a stream of %d", what, n, width);
    // In a stream, the width has been counted with the options.
    if (!width)
        sink_.counted(in, head.offset, count::vectorSize, n, std::string("a ") + what);
    const int kept = std::min(n, MAX_PARAM_NUM);
    long offsets[MAX_PARAM_NUM];
    in.reals(head.binary, values, kept, observer_ ? offsets : nullptr);
    in.skipReals(head.binary, n - kept);
    if (observer_)
        tell(in, head.code == VARIANCE ? fieldKind::variance : fieldKind::mean, values, offsets, kept);
    return n;
}

}  // namespace mac2mod::htk
