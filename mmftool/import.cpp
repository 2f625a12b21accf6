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
#include "mmftool/importSummary.h"

namespace {

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
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
        printImportSummary(summary, set);
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
    printImportSummary(summary, set);
    std::printf("wrote: %s\n", out.c_str());
    return 0;
}
