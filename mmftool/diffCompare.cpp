// The walk of mmftool diff: models paired by name, their shapes compared, then every
// component and transition matrix of the pairs of one shape measured.
#include "mmftool/diffCompare.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace mac2mod::diffing {

namespace {

// Equal, or the same bits (a NaN read twice): nothing to measure.
bool same(double a, double b)
{
    return a == b || std::memcmp(&a, &b, sizeof a) == 0;
}

// Infinities and NaNs alike have no value a report can hold.
double definedOrNaN(double value)
{
    return std::isfinite(value) ? value : std::nan("");
}

bool beyond(double value, double tolerance)
{
    return std::isnan(value) || value > tolerance;
}

// Ranks a before b: larger first, undefined above every number, then in walk order.
bool ranksBefore(const entry &a, const entry &b)
{
    const bool nanA = std::isnan(a.value), nanB = std::isnan(b.value);
    if (nanA != nanB)
        return nanA;
    if (!nanA && a.value != b.value)
        return a.value > b.value;
    auto key = [](const place &p) {
        return std::make_tuple(p.modelA, p.state, p.stream, p.component, p.dimension, p.from, p.to);
    };
    return key(a.at) < key(b.at);
}

// The n entries that rank first among those offered, of values other than 0.
class worstList {
public:
    explicit worstList(size_t n) : n_(n) {}

    void offer(double value, const place &at)
    {
        if (n_ == 0 || value == 0)
            return;
        entry e{value, at};
        if (heap_.size() < n_) {
            heap_.push_back(e);
            std::push_heap(heap_.begin(), heap_.end(), ranksBefore);
        } else if (ranksBefore(e, heap_.front())) {
            std::pop_heap(heap_.begin(), heap_.end(), ranksBefore);
            heap_.back() = e;
            std::push_heap(heap_.begin(), heap_.end(), ranksBefore);
        }
    }
    // The heap's front is the last of those kept; sorted, the first comes first.
    std::vector<entry> sorted()
    {
        std::sort_heap(heap_.begin(), heap_.end(), ranksBefore);
        return std::move(heap_);
    }

private:
    size_t n_;
    std::vector<entry> heap_;
};

// The largest of a measure over the dimensions, where it was reached, and whether some
// dimension had no finite value.
struct dimensionMax {
    double value = 0;
    int dimension = 0;
    bool undefined = false;

    // The first undefined dimension is kept as the place.
    void take(double x, int v)
    {
        if (undefined)
            return;
        if (!std::isfinite(x)) {
            undefined = true;
            dimension = v + 1;
        } else if (std::fabs(x) > value) {
            value = std::fabs(x);
            dimension = v + 1;
        }
    }
    double result() const { return undefined ? std::nan("") : value; }
};

class walker {
public:
    walker(const view &a, const view &b, const diffOptions &options, result &out)
        : a_(a), b_(b), options_(options), out_(out)
    {
        const size_t top = static_cast<size_t>(std::max(options.top, 0));
        for (int m = 0; m < measureCount; m++)
            worst_.emplace_back(top);
    }

    void run()
    {
        const bool comparable = compareSetShapes();
        for (const auto &[ma, mb] : pairByName())
            if (comparable && sameShape(ma, mb))
                compareModels(ma, mb);
        for (int m = 0; m < measureCount; m++)
            out_.worst[m] = worst_[m].sorted();
    }

private:
    bool compareSetShapes()
    {
        if (a_.streamNum() != b_.streamNum())
            out_.setStructure.push_back({"streams", 0, a_.streamNum(), b_.streamNum()});
        for (int s = 0; s < std::min(a_.streamNum(), b_.streamNum()); s++)
            if (a_.vecSize(s) != b_.vecSize(s))
                out_.setStructure.push_back({"vectorSize", s + 1, a_.vecSize(s), b_.vecSize(s)});
        if (!out_.setStructure.empty())
            return false;
        for (int s = 0; s < a_.streamNum(); s++)
            out_.profile.emplace_back(a_.vecSize(s));
        return true;
    }

    // Each model of A with the first model of B of its name not yet taken, in A's order.
    std::vector<std::pair<int, int>> pairByName()
    {
        struct models {
            std::vector<int> index;
            size_t next = 0;
        };
        std::unordered_map<std::string_view, models> inB;
        for (int m = 0; m < b_.modelNum(); m++)
            inB[b_.name(m)].index.push_back(m);
        std::vector<bool> taken(b_.modelNum());
        std::vector<std::pair<int, int>> pairs;
        for (int m = 0; m < a_.modelNum(); m++) {
            auto found = inB.find(a_.name(m));
            if (found == inB.end() || found->second.next == found->second.index.size()) {
                out_.onlyInA.push_back(m);
                continue;
            }
            int mb = found->second.index[found->second.next++];
            taken[mb] = true;
            pairs.emplace_back(m, mb);
        }
        for (int m = 0; m < b_.modelNum(); m++)
            if (!taken[m])
                out_.onlyInB.push_back(m);
        return pairs;
    }

    bool sameShape(int ma, int mb)
    {
        const int states = a_.emittingStates(ma);
        if (states != b_.emittingStates(mb)) {
            out_.shapes.push_back({ma, mb, "states", 0, 0, states + 2, b_.emittingStates(mb) + 2});
            return false;
        }
        for (int e = 0; e < states; e++)
            for (int s = 0; s < a_.streamNum(); s++)
                if (a_.mixtures(ma, e, s) != b_.mixtures(mb, e, s)) {
                    out_.shapes.push_back({ma, mb, "mixtures", e + 2, s + 1, a_.mixtures(ma, e, s),
                                           b_.mixtures(mb, e, s)});
                    return false;
                }
        return true;
    }

    void compareModels(int ma, int mb)
    {
        out_.modelsCompared++;
        place at;
        at.modelA = ma;
        at.modelB = mb;
        for (int e = 0; e < a_.emittingStates(ma); e++)
            for (int s = 0; s < a_.streamNum(); s++)
                for (int k = 0; k < a_.mixtures(ma, e, s); k++) {
                    at.state = e + 2;
                    at.stream = s + 1;
                    at.component = k + 1;
                    float bufferA[2 * MAX_PARAM_NUM], bufferB[2 * MAX_PARAM_NUM];
                    compareComponents(a_.component(ma, e, s, k, bufferA), b_.component(mb, e, s, k, bufferB), s, at);
                }
        if (a_.hasTransitions() && b_.hasTransitions())
            compareTransitions(ma, mb);
    }

    void compareComponents(const gaussian &a, const gaussian &b, int s, place at)
    {
        std::vector<profileCell> &profile = out_.profile[s];
        dimensionMax shift, ratioMax;
        double kl = 0;
        for (int v = 0; v < static_cast<int>(profile.size()); v++) {
            const double meanA = a.mean[v], meanB = b.mean[v], varA = a.variance[v], varB = b.variance[v];
            // A variance not above 0 gives no scale: what differs beside it is undefined.
            const bool positive = varA > 0 && varB > 0;
            const double delta = same(meanA, meanB) ? 0 : meanB - meanA;
            const double z = delta == 0 ? 0 : varA > 0 ? delta / std::sqrt(varA) : std::nan("");
            const double ratio = same(varA, varB) ? 0 : positive ? std::log(varB / varA) : std::nan("");
            shift.take(z, v);
            ratioMax.take(ratio, v);
            profileCell &cell = profile[v];
            if (std::isfinite(z)) {
                cell.meanSquares += z * z;
                cell.meanCount++;
            }
            if (std::isfinite(ratio)) {
                cell.logVarianceSquares += ratio * ratio;
                cell.logVarianceCount++;
            }
            // Symmetric Kullback-Leibler divergence of two diagonal Gaussians, one dimension.
            if (delta != 0 || ratio != 0)
                kl += positive ? 0.5 * (varA / varB + varB / varA - 2 + delta * delta * (1 / varA + 1 / varB))
                               : std::nan("");
        }
        const double values[] = {
            shift.result(), ratioMax.result(),
            same(a.weight, b.weight) ? 0 : definedOrNaN(std::fabs(b.weight - a.weight)),
            same(a.logWeight, b.logWeight) ? 0 : definedOrNaN(std::fabs(b.logWeight - a.logWeight)),
            definedOrNaN(kl)};
        bool far = false;
        for (int m = meanShift; m <= divergence; m++) {
            at.dimension = m == meanShift ? shift.dimension : m == logVariance ? ratioMax.dimension : 0;
            worst_[m].offer(values[m], at);
            far = far || beyond(values[m], options_.tolerance);
            out_.undefined += std::isnan(values[m]);
        }
        out_.components++;
        out_.componentsBeyond += far;
    }

    void compareTransitions(int ma, int mb)
    {
        double largest = 0;
        place at;
        at.modelA = ma;
        at.modelB = mb;
        const int n = a_.emittingStates(ma) + 2;
        for (int r = 0; r < n; r++)
            for (int c = 0; c < n; c++) {
                const double ta = a_.transition(ma, r, c), tb = b_.transition(mb, r, c);
                const double delta = same(ta, tb) ? 0 : definedOrNaN(std::fabs(tb - ta));
                if (std::isnan(largest) || !(std::isnan(delta) || delta > largest))
                    continue;   // undefined already, or not larger
                largest = delta;
                at.from = r + 1;
                at.to = c + 1;
            }
        worst_[transitionShift].offer(largest, at);
        out_.transitions++;
        out_.transitionsBeyond += beyond(largest, options_.tolerance);
        out_.undefined += std::isnan(largest);
    }

    const view &a_, &b_;
    const diffOptions &options_;
    result &out_;
    std::vector<worstList> worst_;
};

}  // namespace

result compare(const view &a, const view &b, const diffOptions &options)
{
    result out;
    walker(a, b, options, out).run();
    return out;
}

const char *measureName(measure m)
{
    static const char *const names[measureCount] = {"meanShift", "logVarianceRatio", "weight", "logWeight",
                                                    "divergence", "transition"};
    return names[m];
}

}  // namespace mac2mod::diffing
