// What the HTK import can tell a lint as it reads, besides the set it fills: each mean,
// variance and gconst where its text or bytes stand, and each stream's weights. A value shared
// through a macro (~s, ~m, ~u, ~v) is told once, where the macro is defined; components HTK
// treats as absent are not told. Without an observer the import does none of this work.
#pragma once

#include <string>
#include <vector>

#include "hmm/fieldObserver.h"
#include "htk/htkSummary.h"

namespace mac2mod {

class htkObserver {
public:
    virtual ~htkObserver() = default;
    // The values of one vector (a mean, a variance; a gconst alone), in file (an index into
    // the paths), each with the byte offset where it begins; binary: read as binary numbers.
    // owner names what holds them: `model "a", state 2, component 1` or `~v "v1"`.
    virtual void vector(int file, bool binary, const std::string &owner, fieldKind field, const float *values,
                        const long *offsets, int n) = 0;
    // A stream's component weights as they sum, where the stream begins.
    virtual void weights(int file, bool binary, long offset, const std::string &owner, double sum) = 0;
    // The first use of a macro (`~v "v1"`), whose values were told where it was defined: a
    // macro never used is no part of the set.
    virtual void used(const std::string &macro) = 0;
};

// importHtk with an observer told in file order as the files are read.
void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary,
               htkObserver *observer);

}  // namespace mac2mod
