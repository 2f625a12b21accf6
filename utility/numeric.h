// Numeric helpers: matrices, rounding, resampling, gap filling, and operations on vectors of
// doubles. Distance types: 1 = absolute differences, 2 = squared differences.
//
// Rounding goes half away from zero. Resampling maps output element i to source position
// i * (srcLen - 1) / (dstLen - 1) and keeps both ends; a single source value fills the whole
// output. The median and minimum of an empty vector are NaN (minimum index -1).
//
// The global routines that can fail print the message on standard output and end the
// process with its status; their twins in namespace mac2mod throw it as mac2mod::error.
#pragma once

void **matrixCreate(int rowNum, int colNum, int elemSize);
int doubleRound(double x);
int intDivRound(int a, int b);
void doubleArrayToInt(const double *src, int n, int *dst);
void doubleArrayFromInt(const int *src, int n, double *dst);
void holeCompact(double *values, int n);
void linearResample(const double *src, int srcLen, double *dst, int dstLen);
void linearResampleInt(const int *src, int srcLen, int *dst, int dstLen);
int doubleCompare(const void *a, const void *b);
void zeroFill(double *values, int n);
int sortedIntSearch(const int *array, int n, int value);
double gaussLogProb(double x, double mean, double var);
void vectorPrint(const double *values, int n, const char *name);
void vectorSubtract(const double *a, const double *b, int n, double *out);
void vectorShift(const double *src, double x, int n, double *dst);
double vectorMedian(const double *values, int n);
double vectorMean(const double *values, int n);
double vectorDistance(const double *a, const double *b, int n, int type);
double vectorMin(const double *values, int n, int &index);

namespace mac2mod {
// "Error: Error in matrixCreate!", status -1, when a block cannot be had.
void **matrixCreate(int rowNum, int colNum, int elemSize);
// A sequence that starts with a gap fails with status 1.
void zeroFill(double *values, int n);
// "Unknown method!", status 1, for a type other than 1 and 2.
double vectorDistance(const double *a, const double *b, int n, int type);
}  // namespace mac2mod
