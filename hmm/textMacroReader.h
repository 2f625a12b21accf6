// Reads a text macro file into an HMM set. The subset understood, by example (one stream of
// 24 values; "..." stands for the rest of the 24 numbers):
//
//   ~o
//   <HMMSETID> any-id                      (optional)
//   <STREAMINFO> 1 24
//   <VECSIZE> 24 <NULLD> <MFCC_E_D_A> <DIAGC>
//   ~r "rc"  ...                            (optional, skipped up to the next ~h)
//   ~h "sil"
//   <BEGINHMM>
//   <NUMSTATES> 3
//   <STATE> 2
//   <NUMMIXES> 2                            (or <SWEIGHTS> 1 alone: one component each)
//   <SWEIGHTS> 1
//    1.000000e+00
//   <MIXTURE> 1 6.000000e-01                (no header when a stream has one component)
//   <RCLASS> 1                              (optional)
//   <MEAN> 24
//    1.0e+00 ...
//   <VARIANCE> 24
//    2.0e+00 ...
//   <GCONST> 4.0e+01
//   <MIXTURE> 2 4.000000e-01
//   ...
//   <TRANSP> 3
//    0.0e+00 1.0e+00 0.0e+00
//    0.0e+00 6.0e-01 4.0e-01
//    0.0e+00 0.0e+00 0.0e+00
//   <ENDHMM>
//
// With several streams each state gives <STREAM> n before each stream's components.
// Models are counted first (lines beginning with ~h), the array is allocated once, then
// filled. Malformed input is thrown as mac2mod::error, placed at the token the read stopped
// at; a number or name that does not convert is refused even where no keyword check fails.
#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "hmm/macroClass.h"

class fieldObserver;

// pieces: how many threads read the models side by side (1: in order on this thread; 0: as
// many as the machine has cores, for large sets). The result, and on malformed input the
// error, are the same whatever the number (textMacroFile.cpp). With an observer the file is
// opened once and read front to back on this thread, and the observer told what is read
// (fieldObserver.h).
void readTextMacroFile(hmmSet &set, const char *path, int pieces = 0, fieldObserver *observer = nullptr);

// Reads models [first, last) of the file from stream into the set's allocated array; stream
// stands at the file's start when first is 0 (the option header is read too), else at the
// start of model first's "~h" line. end: the offset where model last begins, as only white
// space may come before it; -1 when last is the final model. afterHeader, when given, runs
// once the header is in the set (before any model is read), as pieces read beside this one
// need it. observer, when given, is told what is read.
void readTextMacroPiece(hmmSet &set, const char *path, FILE *stream, int first, int last, long end,
                        const std::function<void()> &afterHeader = {}, fieldObserver *observer = nullptr);

// Where model headers begin, with the index of each model: every one while they are few, then
// an evenly spread choice of at most about LIMIT of them, so that counting a file of many
// lines needs no memory that grows with it.
class headerStarts {
public:
    static constexpr size_t LIMIT = 4096;
    struct start {
        int model;
        long offset;
        bool operator==(const start &other) const { return model == other.model && offset == other.offset; }
    };

    void add(long offset);
    // The starts of the part of the file that follows the one counted here.
    void append(const headerStarts &later);
    int count() const { return count_; }
    const std::vector<start> &starts() const { return starts_; }
    // The kept start whose model is nearest to model.
    const start &nearest(int model) const;

private:
    std::vector<start> starts_;
    int count_ = 0;
    int stride_ = 1;   // every stride_-th header is kept
};

// Lines (as fgets cuts them into pieces of at most MAX_STR_LEN - 1 characters) that begin
// with "~h", from the stream's current position (a line start) to its end or to the offset
// end; starts, when given, receives where they begin.
int countModelHeaders(FILE *stream, headerStarts *starts = nullptr, long end = -1);
