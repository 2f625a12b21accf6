// The import's reading of a stream's components and of each Gaussian's mean, variance and
// constant, inline or by reference.
#include "htk/htkImporter.h"

#include <cmath>
#include <cstring>

namespace mac2mod::htk {

namespace {

// The Gaussian's constant as HTK computes it: in single precision (htk-mmf.md, section 8.1).
float computeGconst(const float *variance, int n)
{
    float sum = static_cast<float>(n * std::log(6.28318530717959));
    for (int i = 0; i < n; i++)
        sum += variance[i] <= 2.45e-308 ? -1.0e10f : static_cast<float>(std::log(static_cast<double>(variance[i])));
    return sum;
}

}  // namespace

// The places of what binaryGaussian read from start: the keyword and count (4 bytes) before
// each vector, a keyword (2 bytes) before the constant.
void importer::tellBinaryGaussian(source &in, const hmmMixture &mixture, int width, long start, bool gconst)
{
    long offsets[MAX_PARAM_NUM] = {};
    const long vector = 4 + 4L * width;
    for (int k = 0; k < width; k++)
        offsets[k] = start + 4 + 4L * k;
    tell(in, fieldKind::mean, mixture.mean, offsets, width);
    for (int k = 0; k < width; k++)
        offsets[k] += vector;
    tell(in, fieldKind::variance, mixture.variance, offsets, width);
    if (gconst) {
        offsets[0] = start + 2 * vector + 2;
        tell(in, fieldKind::gconst, &mixture.gconst, offsets, 1);
    }
}

// "model 3 (\"a\"), state 2, stream 1, component 3" (the stream where the set has several).
std::string importer::componentName(int s, int k) const
{
    if (options_.streamNum > 1)
        return formatted("%s, stream %d, component %d", ownerState_.c_str(), s + 1, k);
    return formatted("%s, component %d", ownerState_.c_str(), k);
}

void importer::tell(source &in, fieldKind field, const float *values, const long *offsets, int n)
{
    if (!owner_.empty())
        observer_->vector(file_, in.seenBinary(), owner_, field, values, offsets, n);
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

    gathered g;
    if (!(p.kind == symbol::keyword && p.code == MIXTURE)) {
        hmmMixture &mixture = slotFor(g, stream, 1);
        if (observer_)
            owner_ = componentName(s, 1);
        readGaussian(in, mixture, width(s), where);
        mixture.mixtureWeight = 1.0f;
        g.sum = 1.0;
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
            hmmMixture &mixture = slotFor(g, stream, k);
            // Components HTK treats as absent are left out of the set, and of what is told.
            if (observer_)
                owner_ = weight > DEFUNCT_WEIGHT ? componentName(s, k) : std::string();
            readGaussian(in, mixture, width(s), where);
            mixture.mixtureWeight = weight;
            g.sum += weight;
        }
    }
    checkWeights(in, streamAt, g.sum, "the component weights", where);
    if (observer_)
        observer_->weights(file_, in.seenBinary(), streamAt, options_.streamNum > 1 ? formatted("%s, stream %d", ownerState_.c_str(), s + 1) : ownerState_,
                           g.sum);
    keepComponents(in, streamAt, g, stream, s, numMixes, where);
}

// Components go straight into the stream while their numbers rise and fit; anything else
// (a number out of order or repeated, more than the record holds) moves them all to the
// scratch list, which keepComponents sorts.
hmmMixture &importer::slotFor(gathered &g, hmmStream &stream, int k)
{
    if (!g.spilled) {
        if (g.count < MAX_MIXTURE_NUM && (g.count == 0 || g.indices[g.count - 1] < k)) {
            g.indices[g.count] = k;
            return stream.mixture[g.count++];
        }
        scratch_.clear();
        for (int j = 0; j < g.count; j++)
            scratch_.push_back(component{g.indices[j], stream.mixture[j]});
        g.spilled = true;
    }
    for (component &c : scratch_)
        if (c.index == k) {   // a second component of one number replaces the first
            g.sum -= c.mixture.mixtureWeight;
            return c.mixture;
        }
    scratch_.push_back(component{k, {}});
    return scratch_.back().mixture;
}

// Reads <MEAN>/<VARIANCE> n and its values into values; returns n. width 0: any length the
// record holds; else exactly width.
int importer::readVector(source &in, const symbol &head, float *values, int width, const char *what)
{
    int n = in.integer(head.binary);
    if (n < 1)
        in.fail(head.offset, "%s", vectorSizeLimit((std::string("a ") + what).c_str(), n).c_str());
    if (width && n != width)
        in.fail(head.offset, "a %s of %d values in a stream of %d", what, n, width);
    // In a stream the width has counted already; the values past the record are passed over.
    if (!width && !withinCapacity(capacity::vectorSize, n))
        exceed(in, head.offset, limit::vectorSize, "%s", vectorSizeLimit((std::string("a ") + what).c_str(), n).c_str());
    long offsets[MAX_PARAM_NUM];
    in.reals(head.binary, values, held(n), observer_ ? offsets : nullptr);
    in.skipReals(head.binary, n - held(n));
    if (observer_)
        tell(in, head.code == VARIANCE ? fieldKind::variance : fieldKind::mean, values, offsets, held(n));
    return n;
}

// Reads a Gaussian (mean, variance, constant) into mixture, its weight untouched; returns its
// vector length. width 0 (a ~m body): any length, the same for mean and variance.
int importer::readGaussian(source &in, hmmMixture &mixture, int width, const char *where)
{
    long start;
    const int fast = width && width == held(width)
                         ? in.binaryGaussian(mixture.mean, mixture.variance, mixture.gconst, width, &start)
                         : 0;
    if (fast) {
        if (observer_)
            tellBinaryGaussian(in, mixture, width, start, fast == 2);
        if (fast == 1) {
            mixture.gconst = computeGconst(mixture.variance, width);
            summary_.computedGconsts++;
        }
        return width;
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
        std::memcpy(mixture.mean, v.values, sizeof(float) * held(v.n));
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
        std::memcpy(mixture.variance, v.values, sizeof(float) * held(v.n));
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
    readGconst(in, mixture, n);
    return n;
}

// The Gaussian's <GCONST> as given, or computed from its n variances when it is not.
void importer::readGconst(source &in, hmmMixture &mixture, int n)
{
    const symbol &g = in.peek();
    if (g.kind == symbol::keyword && g.code == GCONST) {
        bool binary = g.binary;
        in.take();
        long at[1];
        in.reals(binary, &mixture.gconst, 1, observer_ ? at : nullptr);
        if (observer_)
            tell(in, fieldKind::gconst, &mixture.gconst, at, 1);
    } else {
        mixture.gconst = computeGconst(mixture.variance, held(n));
        summary_.computedGconsts++;
    }
}

}  // namespace mac2mod::htk
