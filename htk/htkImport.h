// The import of HTK model files (master macro files, text or binary, several in load order)
// into the fixed-capacity set. htk/htkSummary.h has the same operation with a summary of
// what it resolved; htk/exactTextMacro.h writes the text form that reads back exactly.
#pragma once

#include <string>
#include <vector>
#include "hmm/setIO.h"

namespace mac2mod {
// Reads a set from HTK model files (text or binary MMF, several files in load order, macros
// defined before use) into an empty set; throws error (with file, line and column) on anything
// the set cannot hold or the files do not define.
void importHtk(macroClass &set, const std::vector<std::string> &paths);
}
