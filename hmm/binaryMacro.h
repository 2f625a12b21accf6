// The binary macro file: one HMM set as a plain run of its fields, little-endian, with no
// header, padding or gap. Integers are int32, reals float32; S is streamNum, N a model's
// stateNum, M a stream's mixtureNum.
//
//   modelNum, streamNum, vecSize[0 .. S-1]            int32 each
//   per model:
//     str                                             50 bytes, zero within them
//     stateNum                                        int32, 2 to 5, at byte 50 (unaligned)
//     per emitting state (N - 2 of them):
//       streamWeight[0 .. S-1]                        float32 each
//       per stream: mixtureNum                        int32, 0 to 12
//                   M mixture records of 200 bytes:   weight, mean[24], variance[24], gconst
//     transition run: the first N * N entries of the 5 x 5 transProb, row by row
//
// The transition run is not the top-left N x N block: for N = 3 it is row 0 columns 0-4,
// then row 1 columns 0-3. Means and variances always take all 24 slots.
//
// Example, one model "sil" with S = 1, vecSize 13, N = 3, one mixture (310 bytes):
//
//   byte    0  01 00 00 00          modelNum 1
//           4  01 00 00 00          streamNum 1
//           8  0d 00 00 00          vecSize[0] 13
//          12  73 69 6c 00 + 46 x 00   "sil"
//          62  03 00 00 00          stateNum 3
//          66  00 00 80 3f          streamWeight[0] 1.0
//          70  01 00 00 00          mixtureNum 1
//          74  200 bytes            weight, 24 means, 24 variances, gconst
//         274  9 x float32          transProb[0][0..4], transProb[1][0..3]
//         310  end of file
//
// The reader refuses, with a message naming the file and status 1, a file that ends early,
// a count outside what the records hold and a name without its terminating zero; it weighs
// modelNum against the file's size before it allocates. A file that cannot be opened or
// read ends with status -1. The writer refuses a set whose counts exceed the records (status
// 1, before the file is opened; see setLimits.h) and checks every write and the close.
#pragma once

#include <cstdio>

#include "hmm/macroClass.h"

class fieldObserver;

// Fills an empty set from the file; the set owns the model array afterwards. A file that
// holds many models has its array's pages made resident on a second thread as the reader
// goes (binaryMacroFile.cpp). observer, when given, is told where each field was read.
void readBinaryMacroFile(hmmSet &set, const char *path, fieldObserver *observer = nullptr);

// Told how far the reader has got, for work beside it.
class binaryReadProgress {
public:
    virtual ~binaryReadProgress() = default;
    virtual void arrayReady(hmmModel *model, int modelNum) = 0;
    virtual void reached(int modelId) = 0;
};
// The same from an open stream at the file's start; size: the file's size in bytes, or -1
// when it is not known (not a regular file). progress and observer may be null.
void readBinaryMacroStream(hmmSet &set, const char *path, FILE *stream, long size,
                           binaryReadProgress *progress, fieldObserver *observer = nullptr);
void writeBinaryMacroFile(const hmmSet &set, const char *path);
