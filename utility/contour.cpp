#include "utility/contour.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "utility/error.h"
#include "utility/numeric.h"

namespace mac2mod {

namespace {

const double noMatch = 1e10;

// The constant offset between two contours: the median of their differences for absolute
// distances, the mean for squared ones (the offset that minimises each).
double centre(const double *diff, int n, int distType)
{
    if (distType == 1)
        return vectorMedian(diff, n);
    if (distType == 2)
        return vectorMean(diff, n);
    raisef(1, "Unknown distance type!\n");
}

// The length of the contour stretched by candidate i's ratio, truncated towards zero.
int stretchedLength(int srcLen, double minRatio, double maxRatio, int stepNum, int i)
{
    double step = stepNum > 1 ? (maxRatio - minRatio) / (stepNum - 1) : 0;
    return static_cast<int>(srcLen * (minRatio + i * step));
}

// Tries the stretch ratios in turn until a stretched contour no longer fits the reference,
// scoring each with score(i, length): work holds the stretched contour. Returns the smallest
// error and its first index; with no candidate tried, err[0] (no match) and index 0.
template <typename Score>
double stretchSearch(const double *src, int srcLen, int refLen, double minRatio, double maxRatio,
                     int stepNum, double *err, double *work, int &bestIndex, Score score)
{
    if (stepNum <= 0) {
        bestIndex = -1;
        return noMatch;
    }
    std::fill(err, err + stepNum, noMatch);
    int evaluated = 0;
    for (int i = 0; i < stepNum; i++) {
        int len = stretchedLength(srcLen, minRatio, maxRatio, stepNum, i);
        if (len > refLen)
            break;
        linearResample(src, srcLen, work, len);
        err[i] = score(i, len);
        evaluated++;
    }
    return vectorMin(err, std::max(evaluated, 1), bestIndex);
}

}  // namespace

double stretchMatchLS(const double *src, int srcLen, const double *ref, int refLen,
                      double minRatio, double maxRatio, int stepNum, int distType,
                      double *err, double *shift, double *work, double *diff, int &bestIndex)
{
    std::printf("In LS!\n");
    double best = stretchSearch(src, srcLen, refLen, minRatio, maxRatio, stepNum, err, work,
                                bestIndex, [&](int i, int len) {
        std::printf("i = %d\n", i);
        vectorPrint(work, len, "newPitch");
        vectorSubtract(work, ref, len, diff);
        shift[i] = centre(diff, len, distType);
        vectorShift(work, shift[i], len, work);
        return vectorDistance(work, ref, len, distType) / len;
    });
    std::printf("In LS!\n");
    std::fflush(stdout);
    return best;
}

double stretchMatch(const double *src, int srcLen, const double *ref, int refLen,
                    double minRatio, double maxRatio, int stepNum, int distType,
                    double *err, double *work, int &bestIndex)
{
    return stretchSearch(src, srcLen, refLen, minRatio, maxRatio, stepNum, err, work, bestIndex,
                         [&](int, int len) { return vectorDistance(work, ref, len, distType) / len; });
}

// Slides the shorter contour along the longer one; every position compares the same number
// of elements, so the error is the plain sum. Ties keep the earliest position.
double slideMatch(const double *a, int aLen, const double *b, int bLen, int distType,
                  double &shift, int &position)
{
    position = -1;
    if (aLen <= 0 || bLen <= 0) {
        shift = noMatch;
        return noMatch;
    }
    if (aLen > bLen) {
        std::swap(a, b);
        std::swap(aLen, bLen);
    }
    std::vector<double> diff(aLen), work(aLen);
    double best = noMatch;
    for (int p = 0; p <= bLen - aLen; p++) {
        vectorSubtract(a, b + p, aLen, diff.data());
        double c = centre(diff.data(), aLen, distType);
        vectorShift(a, c, aLen, work.data());
        double e = vectorDistance(work.data(), b + p, aLen, distType);
        if (e < best) {
            best = e;
            position = p;
            shift = c;
        }
    }
    return best;
}

}  // namespace mac2mod

double stretchMatchLS(const double *src, int srcLen, const double *ref, int refLen,
                      double minRatio, double maxRatio, int stepNum, int distType,
                      double *err, double *shift, double *work, double *diff, int &bestIndex)
{
    return mac2mod::orExit([&] {
        return mac2mod::stretchMatchLS(src, srcLen, ref, refLen, minRatio, maxRatio, stepNum,
                                       distType, err, shift, work, diff, bestIndex);
    });
}

double stretchMatch(const double *src, int srcLen, const double *ref, int refLen,
                    double minRatio, double maxRatio, int stepNum, int distType,
                    double *err, double *work, int &bestIndex)
{
    return mac2mod::orExit([&] {
        return mac2mod::stretchMatch(src, srcLen, ref, refLen, minRatio, maxRatio, stepNum,
                                     distType, err, work, bestIndex);
    });
}

double slideMatch(const double *a, int aLen, const double *b, int bLen, int distType,
                  double &shift, int &position)
{
    return mac2mod::orExit([&] { return mac2mod::slideMatch(a, aLen, b, bLen, distType, shift, position); });
}
