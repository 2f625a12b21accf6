#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "testSupport.h"
#include "utility/contour.h"

namespace {

struct Work {
    std::vector<double> err, shift, work, diff;
    explicit Work(int stepNum) : err(stepNum, -1), shift(stepNum, 77), work(64), diff(64) {}
};

}  // namespace

TEST(stretchMatch, findsTheRatioThatFitsAndStopsAtTheReferenceLength)
{
    const double same[] = {1, 4, 2};
    Work w(2);
    int best = -1;
    EXPECT_EQ(stretchMatch(same, 3, same, 3, 1, 1, 2, 1, w.err.data(), w.work.data(), best), 0);
    EXPECT_EQ(best, 0);
    EXPECT_EQ(w.err, (std::vector<double>{0, 0}));

    // Ratios 1, 1.5 and 2 give lengths 2, 3 and 4; 4 exceeds the reference and is not tried.
    const double src[] = {0, 10}, ref[] = {0, 5, 10};
    Work w3(3);
    EXPECT_EQ(stretchMatch(src, 2, ref, 3, 1, 2, 3, 1, w3.err.data(), w3.work.data(), best), 0);
    EXPECT_EQ(best, 1);
    EXPECT_EQ(w3.err, (std::vector<double>{2.5, 0, 1e10}));
    // Squared distances, per element: (0 + 25) / 2.
    stretchMatch(src, 2, ref, 3, 1, 2, 3, 2, w3.err.data(), w3.work.data(), best);
    EXPECT_EQ(w3.err[0], 12.5);

    // No length fits: nothing is tried, the result is err[0] with index 0.
    EXPECT_EQ(stretchMatch(src, 2, ref, 3, 3, 4, 2, 1, w3.err.data(), w3.work.data(), best), 1e10);
    EXPECT_EQ(best, 0);

    mac2mod::error e = thrownBy([&] {
        mac2mod::stretchMatch(src, 2, ref, 3, 1, 1, 2, 5, w3.err.data(), w3.work.data(), best);
    });
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Unknown method!\n");
}

TEST(stretchMatchLS, removesTheOffsetAndReportsEachCandidate)
{
    const double src[] = {100, 110}, ref[] = {90, 100, 95};
    Outcome o = runCaptured([&] {
        Work w(2);
        int best = -1;
        double e = stretchMatchLS(src, 2, ref, 3, 1, 1, 2, 2, w.err.data(), w.shift.data(),
                                  w.work.data(), w.diff.data(), best);
        std::printf("e=%g best=%d shift=%g,%g err=%g,%g\n", e, best, w.shift[0], w.shift[1],
                    w.err[0], w.err[1]);
    });
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "In LS!\n"
                     "i = 0\nnewPitch = 100 110 \n"
                     "i = 1\nnewPitch = 100 110 \n"
                     "In LS!\n"
                     "e=0 best=0 shift=10,10 err=0,0\n");
}

TEST(stretchMatchLS, triesOnlyTheLengthsThatFit)
{
    // Lengths 2, 3, 4, 5 for ratios 1 to 2.5; a reference of 3 admits the first two.
    const double src[] = {0, 10}, ref[] = {1, 4, 11};
    Outcome o = runCaptured([&] {
        Work w(4);
        int best = -1;
        double e = stretchMatchLS(src, 2, ref, 3, 1, 2.5, 4, 1, w.err.data(), w.shift.data(),
                                  w.work.data(), w.diff.data(), best);
        std::printf("e=%g best=%d shift=%g,%g,%g err=%g,%g,%g\n", e, best, w.shift[0], w.shift[1],
                    w.shift[2], w.err[1], w.err[2], w.err[3]);
    });
    // Length 3 gives 0 5 10 against 1 4 11: differences -1 1 -1, median -1, |0|+|2|+|0| = 2.
    EXPECT_EQ(o.out, "In LS!\n"
                     "i = 0\nnewPitch = 0 10 \n"
                     "i = 1\nnewPitch = 0 5 10 \n"
                     "In LS!\n"
                     "e=0.666667 best=1 shift=2.5,-1,77 err=0.666667,1e+10,1e+10\n");

    o = runCaptured([&] {
        Work w(2);
        int best = -1;
        double e = stretchMatchLS(src, 2, ref, 3, 2, 3, 2, 1, w.err.data(), w.shift.data(),
                                  w.work.data(), w.diff.data(), best);
        std::printf("e=%g best=%d\n", e, best);
    });
    EXPECT_EQ(o.out, "In LS!\nIn LS!\ne=1e+10 best=0\n");

    // What was printed before the failure stays before its message.
    o = runReporting([&] {
        Work w(2);
        int best = -1;
        mac2mod::stretchMatchLS(src, 2, ref, 3, 1, 1, 2, 0, w.err.data(), w.shift.data(),
                                w.work.data(), w.diff.data(), best);
    });
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "In LS!\ni = 0\nnewPitch = 0 10 \nUnknown distance type!\n");
}

TEST(slideMatch, slidesTheShorterAlongTheLongerInEitherOrder)
{
    const double a[] = {1, 2, 3}, b[] = {0, 5, 6, 7, 0};
    for (int type : {1, 2}) {
        double shift = 99;
        int position = 99;
        EXPECT_EQ(slideMatch(a, 3, b, 5, type, shift, position), 0);
        EXPECT_EQ(position, 1);
        EXPECT_EQ(shift, -4);
        shift = position = 99;
        EXPECT_EQ(slideMatch(b, 5, a, 3, type, shift, position), 0);
        EXPECT_EQ(position, 1);
        EXPECT_EQ(shift, -4);
    }

    // Equal errors keep the earliest position; equal lengths have the one position 0.
    const double one[] = {0}, flat[] = {3, 3};
    double shift = 0;
    int position = 0;
    EXPECT_EQ(slideMatch(one, 1, flat, 2, 2, shift, position), 0);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(shift, -3);
    // The mean offset of the differences -1, 1 is 0: the squares sum to 2.
    const double p[] = {0, 0}, q[] = {1, -1};
    EXPECT_EQ(slideMatch(p, 2, q, 2, 2, shift, position), 2);
    EXPECT_EQ(position, 0);

    EXPECT_EQ(slideMatch(a, 0, b, 5, 1, shift, position), 1e10);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(shift, 1e10);

    mac2mod::error e = thrownBy([&] { mac2mod::slideMatch(a, 3, b, 5, 7, shift, position); });
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Unknown distance type!\n");
}
