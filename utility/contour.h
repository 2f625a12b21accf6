// Matching a measured contour (a pitch track) against a reference, by stretching it in time
// or by sliding the shorter along the longer, with the constant offset removed.
//
// Candidate i of the stretch routines uses the ratio minRatio + i * (maxRatio - minRatio) /
// (stepNum - 1); the first ratio whose stretched length exceeds refLen ends the search. err
// and shift hold stepNum values, work and diff the longest stretched length. An error of 1e10
// means no match. stretchMatchLS prints every candidate it tries.
//
// A distance type other than 1 and 2 fails with status 1 ("Unknown distance type!" or, from
// the distance itself, "Unknown method!"): the global routines print the message on standard
// output and end the process, their twins in namespace mac2mod throw it as mac2mod::error.
#pragma once

double stretchMatchLS(const double *src, int srcLen, const double *ref, int refLen,
                      double minRatio, double maxRatio, int stepNum, int distType,
                      double *err, double *shift, double *work, double *diff, int &bestIndex);
double stretchMatch(const double *src, int srcLen, const double *ref, int refLen,
                    double minRatio, double maxRatio, int stepNum, int distType,
                    double *err, double *work, int &bestIndex);
double slideMatch(const double *a, int aLen, const double *b, int bLen, int distType,
                  double &shift, int &position);

namespace mac2mod {
double stretchMatchLS(const double *src, int srcLen, const double *ref, int refLen,
                      double minRatio, double maxRatio, int stepNum, int distType,
                      double *err, double *shift, double *work, double *diff, int &bestIndex);
double stretchMatch(const double *src, int srcLen, const double *ref, int refLen,
                    double minRatio, double maxRatio, int stepNum, int distType,
                    double *err, double *work, int &bestIndex);
double slideMatch(const double *a, int aLen, const double *b, int bLen, int distType,
                  double &shift, int &position);
}  // namespace mac2mod
