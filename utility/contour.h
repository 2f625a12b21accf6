// Matching a measured contour (a pitch track) against a reference, by stretching it in time
// or by sliding the shorter along the longer, with the constant offset removed.
//
// Candidate i of the stretch routines uses the ratio minRatio + i * (maxRatio - minRatio) /
// (stepNum - 1); the first ratio whose stretched length exceeds refLen ends the search. err
// and shift hold stepNum values, work and diff the longest stretched length. An error of 1e10
// means no match. stretchMatchLS prints every candidate it tries.
#pragma once

double stretchMatchLS(const double *src, int srcLen, const double *ref, int refLen,
                      double minRatio, double maxRatio, int stepNum, int distType,
                      double *err, double *shift, double *work, double *diff, int &bestIndex);
double stretchMatch(const double *src, int srcLen, const double *ref, int refLen,
                    double minRatio, double maxRatio, int stepNum, int distType,
                    double *err, double *work, int &bestIndex);
double slideMatch(const double *a, int aLen, const double *b, int bLen, int distType,
                  double &shift, int &position);
