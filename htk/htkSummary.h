// What an import of HTK model files resolved, for a report to the user.
#pragma once

#include <string>
#include <vector>

#include "htk/htkImport.h"

namespace mac2mod {

struct htkImportSummary {
    int files = 0;
    int binaryFiles = 0;   // files holding at least one binary keyword
    int models = 0;
    int states = 0;        // emitting states
    int streams = 0;       // of the set
    int components = 0;    // kept, over all streams of all states
    // References resolved by copying, by macro type.
    int inlinedStates = 0;      // ~s
    int inlinedMixtures = 0;    // ~m
    int inlinedMeans = 0;       // ~u
    int inlinedVariances = 0;   // ~v
    int inlinedTransitions = 0; // ~t
    int inlinedWeights = 0;     // ~w
    int prunedComponents = 0;   // counted by <NUMMIXES> but not in the file
    int zeroWeightComponents = 0;   // in the file with a weight of at most 1.0e-5
    int computedGconsts = 0;    // Gaussians without <GCONST>
    // Streams left with one component whose weight was not 1.0: it is set to 1.0, as the
    // converter's reader sets it; and the largest change made so.
    int weightsSetToOne = 0;
    float largestWeightChange = 0;
    int unreferencedMacros = 0; // defined and never used (a variance floor, say)
    int skippedMacros = 0;      // adaptation and duration macros read past
    int skippedDurations = 0;   // <DURATION> and ~d in models and states
};

// importHtk, and what it did into summary.
void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary);

}  // namespace mac2mod
