#include "mmftool/importSummary.h"

#include <cstdio>

void printImportSummary(const mac2mod::htkImportSummary &s, const macroClass &set)
{
    std::printf("read: %d file%s (%d binary)\n", s.files, s.files == 1 ? "" : "s", s.binaryFiles);
    std::printf("models: %d\n", s.models);
    std::printf("states: %d emitting\n", s.states);
    std::printf("streams: %d of", s.streams);
    for (int k = 0; k < set.MMF.streamNum; k++)
        std::printf(" %d", set.MMF.vecSize[k]);
    std::printf(" values\n");
    std::printf("components: %d\n", s.components);
    std::printf("inlined: %d ~s states, %d ~m components, %d ~u means, %d ~v variances, %d ~t matrices, "
                "%d ~w weights\n",
                s.inlinedStates, s.inlinedMixtures, s.inlinedMeans, s.inlinedVariances, s.inlinedTransitions,
                s.inlinedWeights);
    std::printf("left out: %d components pruned (counted by <NUMMIXES>, not in the file), %d of weight "
                "<= 1.0e-5\n",
                s.prunedComponents, s.zeroWeightComponents);
    std::printf("computed: %d GCONSTs\n", s.computedGconsts);
    std::printf("set to 1.0: %d weights of a stream's lone component (largest change %g)\n", s.weightsSetToOne,
                static_cast<double>(s.largestWeightChange));
    std::printf("skipped: %d unreferenced macros, %d adaptation or duration macros, %d durations\n",
                s.unreferencedMacros, s.skippedMacros, s.skippedDurations);
}

nlohmann::ordered_json importSummaryJson(const mac2mod::htkImportSummary &s, const macroClass &set)
{
    nlohmann::ordered_json out;
    out["files"] = s.files;
    out["binaryFiles"] = s.binaryFiles;
    out["models"] = s.models;
    out["states"] = s.states;
    out["streams"] = s.streams;
    out["vectorSizes"] = std::vector<int>(set.MMF.vecSize, set.MMF.vecSize + set.MMF.streamNum);
    out["components"] = s.components;
    out["inlined"] = {{"states", s.inlinedStates},       {"mixtures", s.inlinedMixtures},
                      {"means", s.inlinedMeans},         {"variances", s.inlinedVariances},
                      {"transitions", s.inlinedTransitions}, {"weights", s.inlinedWeights}};
    out["prunedComponents"] = s.prunedComponents;
    out["zeroWeightComponents"] = s.zeroWeightComponents;
    out["computedGconsts"] = s.computedGconsts;
    out["weightsSetToOne"] = s.weightsSetToOne;
    out["unreferencedMacros"] = s.unreferencedMacros;
    out["skippedMacros"] = s.skippedMacros;
    out["skippedDurations"] = s.skippedDurations;
    return out;
}
