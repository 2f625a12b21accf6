#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <vector>

#include "testSupport.h"
#include "utility/numeric.h"

namespace {

void freeMatrix(void **rows, int rowNum)
{
    for (int i = 0; i < rowNum; i++)
        std::free(rows[i]);
    std::free(rows);
}

template <typename T>
std::vector<T> resampled(void (*resample)(const T *, int, T *, int), std::vector<T> src, int dstLen)
{
    std::vector<T> dst(dstLen + 1, T(-7));   // one guard element past the end
    resample(src.data(), static_cast<int>(src.size()), dst.data(), dstLen);
    EXPECT_EQ(dst[dstLen], T(-7)) << "written past dstLen";
    dst.pop_back();
    return dst;
}

}  // namespace

TEST(matrixCreate, zeroFilledRowsAndEmptyShapes)
{
    EXPECT_EQ(matrixCreate(0, 0, 4), nullptr);

    void **m = matrixCreate(2, 3, sizeof(double));
    ASSERT_NE(m, nullptr);
    for (int r = 0; r < 2; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(static_cast<double *>(m[r])[c], 0.0);
    static_cast<double *>(m[1])[2] = 1.5;   // rows are usable blocks of their own
    freeMatrix(m, 2);

    // Exactly one dimension zero: valid, empty, and never the fatal message.
    void **noRows = matrixCreate(0, 3, 8);
    EXPECT_NE(noRows, nullptr);
    freeMatrix(noRows, 0);
    void **noColumns = matrixCreate(2, 0, 8);
    ASSERT_NE(noColumns, nullptr);
    EXPECT_NE(noColumns[0], nullptr);
    EXPECT_NE(noColumns[1], nullptr);
    freeMatrix(noColumns, 2);

    mac2mod::error e = thrownBy([] { mac2mod::matrixCreate(-1, 3, 8); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: Error in matrixCreate!\n");
}

TEST(rounding, halvesGoAwayFromZero)
{
    EXPECT_EQ(doubleRound(2.5), 3);
    EXPECT_EQ(doubleRound(-2.5), -3);
    EXPECT_EQ(doubleRound(0.49), 0);
    EXPECT_EQ(doubleRound(-0.49), 0);
    EXPECT_EQ(doubleRound(0.5), 1);
    EXPECT_EQ(doubleRound(-0.5), -1);
    EXPECT_EQ(doubleRound(0.0), 0);

    EXPECT_EQ(intDivRound(7, 2), 4);
    EXPECT_EQ(intDivRound(-7, 2), -4);
    EXPECT_EQ(intDivRound(5, 3), 2);
    EXPECT_EQ(intDivRound(4, 3), 1);
    EXPECT_EQ(intDivRound(-1, 2), -1);
    EXPECT_EQ(intDivRound(1, 2), 1);
    EXPECT_EQ(intDivRound(0, 5), 0);

    double src[] = {1.5, -1.5, 2.4, -0.2};
    int ints[4];
    doubleArrayToInt(src, 4, ints);
    EXPECT_EQ(std::vector<int>(ints, ints + 4), (std::vector<int>{2, -2, 2, 0}));
    double back[4];
    doubleArrayFromInt(ints, 4, back);
    EXPECT_EQ(std::vector<double>(back, back + 4), (std::vector<double>{2, -2, 2, 0}));
}

TEST(gapFills, holesMoveBehindAndZerosTakeThePreviousValue)
{
    std::vector<double> v{1, -1, -1, 4, -1, 6};
    holeCompact(v.data(), 6);
    EXPECT_EQ(v, (std::vector<double>{1, 4, 6, -1, -1, -1}));
    v = {-1, -1, 2, -1};
    holeCompact(v.data(), 4);
    EXPECT_EQ(v, (std::vector<double>{2, -1, -1, -1}));
    v = {-1, -1};
    holeCompact(v.data(), 2);
    EXPECT_EQ(v, (std::vector<double>{-1, -1}));

    v = {3, 0, 0, 5, 0};
    zeroFill(v.data(), 5);
    EXPECT_EQ(v, (std::vector<double>{3, 3, 3, 5, 5}));

    v = {0, 1};
    mac2mod::error e = thrownBy([&] { mac2mod::zeroFill(v.data(), 2); });
    EXPECT_EQ(e.status(), 1);
    EXPECT_TRUE(std::regex_match(e.message(), std::regex("Wrong format at line [0-9]+ of file .*numeric\\.cpp\n")))
        << e.message();
}

TEST(linearResample, interpolatesBetweenNeighbours)
{
    EXPECT_EQ(resampled(linearResample, {0, 10}, 5), (std::vector<double>{0, 2.5, 5, 7.5, 10}));
    EXPECT_EQ(resampled(linearResample, {0, 10, 20, 30, 40}, 3), (std::vector<double>{0, 20, 40}));
    EXPECT_EQ(resampled(linearResample, {1, 2, 3}, 3), (std::vector<double>{1, 2, 3}));
    // A single output element is the last source value.
    EXPECT_EQ(resampled(linearResample, {1, 2, 3}, 1), (std::vector<double>{3}));
    // A single source value has no neighbour: every output element is that value.
    EXPECT_EQ(resampled(linearResample, {4}, 3), (std::vector<double>{4, 4, 4}));
    EXPECT_EQ(resampled(linearResample, {1, 2}, 0), (std::vector<double>{}));

    EXPECT_EQ(resampled(linearResampleInt, {0, 10}, 5), (std::vector<int>{0, 2, 5, 7, 10}));
    // Division truncates towards zero for negative values too.
    EXPECT_EQ(resampled(linearResampleInt, {0, -10}, 5), (std::vector<int>{0, -2, -5, -7, -10}));
    // The fractions 1/3 and 2/3 become 43/128 and 85/128: 85 * 300 / 128 truncates to 199.
    EXPECT_EQ(resampled(linearResampleInt, {0, 300}, 4), (std::vector<int>{0, 100, 199, 300}));
    EXPECT_EQ(resampled(linearResampleInt, {0, 3}, 4), (std::vector<int>{0, 1, 1, 3}));
    EXPECT_EQ(resampled(linearResampleInt, {5, 6, 7}, 1), (std::vector<int>{7}));
    EXPECT_EQ(resampled(linearResampleInt, {9}, 4), (std::vector<int>{9, 9, 9, 9}));
}

TEST(sortedIntSearch, givesThePositionAfterMatchOrInsertionPoint)
{
    const int a[] = {10, 20, 30};
    EXPECT_EQ(sortedIntSearch(a, 3, 20), 2);
    EXPECT_EQ(sortedIntSearch(a, 3, 25), 2);
    EXPECT_EQ(sortedIntSearch(a, 3, 5), 0);
    EXPECT_EQ(sortedIntSearch(a, 3, 10), 1);
    EXPECT_EQ(sortedIntSearch(a, 3, 30), 3);
    EXPECT_EQ(sortedIntSearch(a, 3, 40), 3);
    EXPECT_EQ(sortedIntSearch(a, 0, 40), 0);
}

TEST(vectorStatistics, medianMeanDistanceAndMinimum)
{
    std::vector<double> v{3, 1, 2};
    EXPECT_EQ(vectorMedian(v.data(), 3), 2);
    EXPECT_EQ(v, (std::vector<double>{3, 1, 2}));   // the input is not sorted
    v = {4, 1, 3, 2};
    EXPECT_EQ(vectorMedian(v.data(), 4), 2.5);
    v = {-1, 5, -1, 5, -1};
    EXPECT_EQ(vectorMedian(v.data(), 5), -1);
    EXPECT_EQ(vectorMean(v.data(), 5), 1.4);

    double a[] = {1, 2, 3}, b[] = {2, 0, 3};
    EXPECT_EQ(vectorDistance(a, b, 3, 1), 3);
    EXPECT_EQ(vectorDistance(a, b, 3, 2), 5);
    mac2mod::error e = thrownBy([&] { mac2mod::vectorDistance(a, b, 3, 3); });
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Unknown method!\n");

    int index = -5;
    v = {2, 1, 1};
    EXPECT_EQ(vectorMin(v.data(), 3, index), 1);
    EXPECT_EQ(index, 1);
    v = {0.5, 0.5};
    EXPECT_EQ(vectorMin(v.data(), 2, index), 0.5);
    EXPECT_EQ(index, 0);

    double out[3];
    vectorSubtract(a, b, 3, out);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{-1, 2, 0}));
    vectorShift(a, 0.5, 3, a);
    EXPECT_EQ(std::vector<double>(a, a + 3), (std::vector<double>{0.5, 1.5, 2.5}));

    double s[] = {2, -1, 0, 2};
    std::qsort(s, 4, sizeof(double), doubleCompare);
    EXPECT_EQ(std::vector<double>(s, s + 4), (std::vector<double>{-1, 0, 2, 2}));
}

TEST(gaussLogProb, isTheNormalLogDensity)
{
    EXPECT_NEAR(gaussLogProb(0, 0, 1), -0.918938533204675, 1e-15);
    EXPECT_NEAR(gaussLogProb(3, 1, 4), (-1.0 - 1.83787706640935 - std::log(4.0)) / 2, 1e-15);
}

TEST(vectorPrint, printsEachValueWithATrailingBlankInOrderWithPrintf)
{
    Outcome o = runCaptured([] {
        std::printf("before ");
        double v[] = {100, 2.5, 1234567, -0.0001};
        vectorPrint(v, 4, "newPitch");
        vectorPrint(v, 0, "empty");
        std::printf("after\n");
    });
    EXPECT_EQ(o.out, "before newPitch = 100 2.5 1.23457e+06 -0.0001 \nempty = \nafter\n");
}
