// mmftool import FILE... OUT [--table TABLE] [--dry-run]: HTK model files into a text or
// binary macro file or straight into the model file.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "hmm/setIO.h"
#include "hmm/setLimits.h"
#include "htk/exactTextMacro.h"
#include "htk/htkSummary.h"
#include "mmftool/command.h"

namespace {

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

void printSummary(const mac2mod::htkImportSummary &s, const macroClass &set)
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

bool hasSil(const macroClass &set)
{
    for (int m = 0; m < set.MMF.modelNum; m++)
        if (modelName(set.MMF.model[m]) == "sil")
            return true;
    return false;
}

}  // namespace

int importCommand(const commandLine &line)
{
    std::vector<std::string> inputs(line.args.begin(), line.args.end() - 1);
    const std::string out = line.args.back();
    const bool dryRun = line.has("--dry-run");
    const fileForm kind = fileFormOf(out.c_str());
    if (kind == fileForm::none)
        return usageError(line, "OUT must end in .mac, .macb or .mod");
    if (line.values.count("--table") && kind != fileForm::model)
        return usageError(line, "--table is for a .mod OUT only");
    for (const std::string &in : inputs)
        if (sameFile(in, out))
            return toolError(line, "\"%s\" is an input file; write to another file\n", out.c_str());
    const std::string table = line.value("--table", "ModelNames.txt");

    macroClass set;
    mac2mod::htkImportSummary summary;
    try {
        mac2mod::importHtk(set, inputs, summary);
        if (kind == fileForm::text)
            mac2mod::checkExactTextMacro(set);   // refused here, before anything is written
    } catch (const mac2mod::error &e) {
        std::fflush(stdout);
        std::fputs(e.message().c_str(), stderr);
        return 1;
    }
    if (kind == fileForm::model && !hasSil(set))
        return toolError(line, "the set has no model named \"sil\", which the model file begins with; "
                               "nothing is written\n");
    if (kind == fileForm::model && !dryRun && !std::filesystem::is_regular_file(table))
        return toolError(line, "cannot open the table \"%s\"\n", table.c_str());
    if (dryRun) {
        printSummary(summary, set);
        std::printf("checked only (--dry-run): nothing written\n");
        return 0;
    }
    try {
        switch (kind) {
        case fileForm::text:
            mac2mod::writeExactTextMacro(set, out);
            break;
        case fileForm::binary:
            mac2mod::writeSet(set, out);
            break;
        default:
            mac2mod::writeModelFile(set, table, out);
            break;
        }
    } catch (const mac2mod::error &e) {
        std::fflush(stdout);
        std::fputs(e.message().c_str(), stderr);
        return 1;
    }
    printSummary(summary, set);
    std::printf("wrote: %s\n", out.c_str());
    return 0;
}
