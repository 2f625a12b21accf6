// mmftool import FILE... OUT [--table TABLE] [--dry-run]: HTK model files into a text or
// binary macro file or straight into the model file.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>
#include <unistd.h>

#include "hmm/setIO.h"
#include "hmm/setLimits.h"
#include "htk/exactTextMacro.h"
#include "htk/htkSummary.h"
#include "mmftool/command.h"

namespace {

enum class importOutput { none, text, binary, model };

importOutput outputOf(const std::string &path)
{
    const char *extension = fileExtension(path.c_str());
    if (std::strcmp(extension, "mod") == 0 || std::strcmp(extension, "MOD") == 0)
        return importOutput::model;
    switch (macroKindOf(path.c_str())) {
    case macroKind::text: return importOutput::text;
    case macroKind::binary: return importOutput::binary;
    default: return importOutput::none;
    }
}

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
    importOutput kind = outputOf(out);
    if (kind == importOutput::none)
        return usageError(line, "OUT must end in .mac, .macb or .mod");
    if (line.values.count("--table") && kind != importOutput::model)
        return usageError(line, "--table is for a .mod OUT only");
    for (const std::string &in : inputs)
        if (sameFile(in, out))
            return toolError(line, "\"%s\" is an input file; write to another file\n", out.c_str());
    const std::string table = line.value("--table", "ModelNames.txt");

    macroClass set;
    mac2mod::htkImportSummary summary;
    try {
        mac2mod::importHtk(set, inputs, summary);
        if (kind == importOutput::text)
            (void)mac2mod::exactTextMacro(set);   // refused here, before anything is written
    } catch (const mac2mod::error &e) {
        std::fflush(stdout);
        std::fputs(e.message().c_str(), stderr);
        return 1;
    }
    if (kind == importOutput::model && !hasSil(set))
        return toolError(line, "the set has no model named \"sil\", which the model file begins with; "
                               "nothing is written\n");
    if (kind == importOutput::model && !dryRun && !std::filesystem::is_regular_file(table))
        return toolError(line, "cannot open the table \"%s\"\n", table.c_str());
    if (dryRun) {
        printSummary(summary, set);
        std::printf("checked only (--dry-run): nothing written\n");
        return 0;
    }
    try {
        switch (kind) {
        case importOutput::text:
            mac2mod::writeExactTextMacro(set, out);
            break;
        case importOutput::binary: {
            // Beside OUT under a name of its own, renamed when complete: an earlier OUT stays
            // as it was if the write fails.
            const std::string temporary = out + ".import" + std::to_string(getpid()) + ".macb";
            try {
                mac2mod::writeSet(set, temporary);
            } catch (...) {
                std::remove(temporary.c_str());
                throw;
            }
            if (std::rename(temporary.c_str(), out.c_str()) != 0) {
                std::remove(temporary.c_str());
                return toolError(line, "cannot write \"%s\"\n", out.c_str());
            }
            break;
        }
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
