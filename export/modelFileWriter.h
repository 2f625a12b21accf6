// The model file the recogniser loads: little-endian floats only, counts included, no names.
// For a set of three models (sil, a, b) of one emitting state, M mixtures and V values each:
//
//   2.0  V                                     header: models after "sil", vector size
//   M  w1*1e7 .. wM*1e7  ln w1 .. ln wM       "sil": its first emitting state only
//      mean1[V] var1[V] .. meanM[V] varM[V]
//   1.0                                        a: emitting state count, then each state
//   M  w1*1e5 .. wM*1e5  ln w1 .. ln wM  mean1[V] var1[V] ..
//   1.0  ...                                   b
//
// Only the first stream of each state is written. The models after "sil" come in the order
// of ModelNames.txt (see nameTable.h).
#pragma once

#include "hmm/macroClass.h"

void writeModelFileOf(const hmmSet &set, const char *tablePath, const char *outputPath);
