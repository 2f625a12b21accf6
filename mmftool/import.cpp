// mmftool import FILE... OUT [--table TABLE] [--dry-run] [--strict]: HTK model files into a
// text or binary macro file or straight into the model file, with what check would find in
// the set, placed in the HTK files.
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
#include "mmftool/lint.h"

namespace {

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// The first findings, then how many more and the command that lists them all.
void printSomeFindings(const std::vector<finding> &findings, const std::vector<std::string> &inputs)
{
    constexpr size_t SHOWN = 10;
    if (findings.size() <= SHOWN) {
        printFindings(findings);
        return;
    }
    printFindings(std::vector<finding>(findings.begin(), findings.begin() + SHOWN));
    std::string command = "mmftool check";
    for (const std::string &in : inputs)
        command += " " + in;
    std::printf("%zu more warnings: \"%s\" lists them all\n", findings.size() - SHOWN, command.c_str());
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
    std::unique_ptr<htkWatch> watch = watchHtk(inputs);
    try {
        mac2mod::importHtk(set, inputs, summary, watch.get());
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
    const std::vector<finding> findings = watch->finish(set.MMF);
    if (dryRun || (line.has("--strict") && !findings.empty())) {
        printImportSummary(summary, set);
        printSomeFindings(findings, inputs);
        if (dryRun)
            std::printf("checked only (--dry-run): nothing written\n");
        if (line.has("--strict") && !findings.empty())
            return toolError(line, "%zu warning%s and --strict: nothing written\n", findings.size(),
                             findings.size() == 1 ? "" : "s");
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
    printSomeFindings(findings, inputs);
    std::printf("wrote: %s\n", out.c_str());
    return 0;
}
