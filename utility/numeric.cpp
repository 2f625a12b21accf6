#include "utility/numeric.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "utility/error.h"

namespace {

// calloc of at least one element: a row or row array of zero length is still a valid block
// the caller can free, and a platform's null for a zero-size request is not a failure.
void *callocAtLeastOne(int num, int size)
{
    if (num < 0 || size < 0)
        return nullptr;
    return std::calloc(static_cast<size_t>(std::max(num, 1)), static_cast<size_t>(std::max(size, 1)));
}

// What a failed matrixCreate had allocated: the caller gets nothing to free.
void freeRows(void **rows, int count)
{
    for (int i = 0; i < count; i++)
        std::free(rows[i]);
    std::free(rows);
}

}  // namespace

void **mac2mod::matrixCreate(int rowNum, int colNum, int elemSize)
{
    if (rowNum == 0 && colNum == 0)
        return nullptr;
    void **rows = static_cast<void **>(callocAtLeastOne(rowNum, sizeof(void *)));
    if (!rows)
        raisef(-1, "Error: Error in matrixCreate!\n");
    for (int i = 0; i < rowNum; i++)
        if (!(rows[i] = callocAtLeastOne(colNum, elemSize))) {
            freeRows(rows, i);
            raisef(-1, "Error: Error in matrixCreate!\n");
        }
    return rows;
}

void **matrixCreate(int rowNum, int colNum, int elemSize)
{
    return mac2mod::orExit([&] { return mac2mod::matrixCreate(rowNum, colNum, elemSize); });
}

int doubleRound(double x)
{
    return static_cast<int>(x > 0 ? x + 0.5 : x - 0.5);
}

int intDivRound(int a, int b)
{
    int h = b / 2;
    return a > 0 ? (a + h) / b : (a - h) / b;
}

void doubleArrayToInt(const double *src, int n, int *dst)
{
    for (int i = 0; i < n; i++)
        dst[i] = doubleRound(src[i]);
}

void doubleArrayFromInt(const int *src, int n, double *dst)
{
    for (int i = 0; i < n; i++)
        dst[i] = src[i];
}

// The real values move forward in their order; the -1 markers collect behind them.
void holeCompact(double *values, int n)
{
    int kept = 0;
    for (int i = 0; i < n; i++)
        if (values[i] != -1.0)
            values[kept++] = values[i];
    std::fill(values + std::max(kept, 0), values + std::max(n, 0), -1.0);
}

// Output element i sits at source position i * N / M (N = srcLen - 1, M = dstLen - 1); the
// ends are copied exactly and interior(i, N, M) gives the others. A single source value has
// no neighbour to interpolate with: every output element is that value. Worked in 64 bits,
// which gives the 32-bit results wherever those do not overflow.
template <class T, class Interior>
void resample(const T *src, int srcLen, T *dst, int dstLen, Interior interior)
{
    if (srcLen <= 0 || dstLen <= 0)
        return;
    if (srcLen == 1)
        return std::fill(dst, dst + dstLen, src[0]);
    const int64_t N = srcLen - 1, M = dstLen - 1;
    dst[0] = src[0];
    dst[M] = src[N];
    for (int64_t i = 1; i < M; i++)
        dst[i] = interior(i, N, M);
}

void linearResample(const double *src, int srcLen, double *dst, int dstLen)
{
    resample(src, srcLen, dst, dstLen, [src](int64_t i, int64_t N, int64_t M) {
        int64_t k = i * N / M;
        double f = static_cast<double>(i * N) / M - k;
        return (1 - f) * src[k] + f * src[k + 1];
    });
}

// The same mapping in fixed point, the fraction in steps of 1/128 rounded to the nearest.
void linearResampleInt(const int *src, int srcLen, int *dst, int dstLen)
{
    resample(src, srcLen, dst, dstLen, [src](int64_t i, int64_t N, int64_t M) {
        int64_t p = i * N;
        int64_t k = p / M;
        int64_t f = (p * 128 + M / 2) / M - k * 128;
        return static_cast<int>(((128 - f) * src[k] + f * src[k + 1]) / 128);
    });
}

int doubleCompare(const void *a, const void *b)
{
    double d = *static_cast<const double *>(a) - *static_cast<const double *>(b);
    return d > 0 ? 1 : d < 0 ? -1 : 0;
}

// A gap (0.0) takes the last value before it; a sequence that starts with a gap has none.
void mac2mod::zeroFill(double *values, int n)
{
    if (n <= 0)
        return;
    if (values[0] == 0.0)
        raisef(1, "Wrong format at line %d of file %s\n", __LINE__, __FILE__);
    for (int i = 1; i < n; i++)
        if (values[i] == 0.0)
            values[i] = values[i - 1];
}

void zeroFill(double *values, int n)
{
    mac2mod::orExit([&] { mac2mod::zeroFill(values, n); });
}

// The position just after a match, or the insertion position when there is none.
int sortedIntSearch(const int *array, int n, int value)
{
    int lo = 0, hi = n - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        if (value == array[mid])
            return mid + 1;
        if (value < array[mid])
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return hi + 1;
}

double gaussLogProb(double x, double mean, double var)
{
    const double log2Pi = 1.83787706640935;
    double d = x - mean;
    return (-d * d / var - log2Pi - std::log(var)) / 2;
}

void vectorPrint(const double *values, int n, const char *name)
{
    std::printf("%s = ", name);
    for (int i = 0; i < n; i++)
        std::printf("%g ", values[i]);
    std::printf("\n");
    std::fflush(stdout);
}

void vectorSubtract(const double *a, const double *b, int n, double *out)
{
    for (int i = 0; i < n; i++)
        out[i] = a[i] - b[i];
}

void vectorShift(const double *src, double x, int n, double *dst)
{
    for (int i = 0; i < n; i++)
        dst[i] = src[i] - x;
}

double vectorMedian(const double *values, int n)
{
    if (n <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    std::vector<double> sorted(values, values + n);
    std::qsort(sorted.data(), sorted.size(), sizeof(double), doubleCompare);
    if (n % 2 == 1)
        return sorted[(n + 1) / 2 - 1];
    return (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

double vectorMean(const double *values, int n)
{
    double sum = 0;
    for (int i = 0; i < n; i++)
        sum += values[i];
    return sum / n;
}

double mac2mod::vectorDistance(const double *a, const double *b, int n, int type)
{
    if (type != 1 && type != 2)
        raisef(1, "Unknown method!\n");
    double sum = 0;
    for (int i = 0; i < n; i++) {
        double d = a[i] - b[i];
        sum += type == 1 ? std::fabs(d) : d * d;
    }
    return sum;
}

double vectorDistance(const double *a, const double *b, int n, int type)
{
    return mac2mod::orExit([&] { return mac2mod::vectorDistance(a, b, n, type); });
}

// Ties keep the earliest index. An empty vector has no minimum: index -1 and NaN.
double vectorMin(const double *values, int n, int &index)
{
    if (n <= 0) {
        index = -1;
        return std::numeric_limits<double>::quiet_NaN();
    }
    index = 0;
    double best = values[0];
    for (int i = 1; i < n; i++)
        if (best > values[i]) {
            best = values[i];
            index = i;
        }
    return best;
}
