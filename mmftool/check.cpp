// mmftool check FILE... [--table TABLE] [--strict] [--json]: a .mac or .macb set read as the
// converter reads it, summarised on one screen, then what in it (and in TABLE) would hurt the
// recogniser; a malformed file gets the reader's message and the place where the read stopped.
// The file is read once: the checks watch the read. Any other files are HTK model files, checked
// through the import as import --dry-run checks them.
#include <cstdio>
#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "hmm/setIO.h"
#include "htk/htkSummary.h"
#include "mmftool/command.h"
#include "mmftool/importSummary.h"
#include "mmftool/lint.h"
#include "mmftool/readStopReport.h"
#include "mmftool/setSummary.h"
#include "utility/error.h"

namespace {

int report(const commandLine &line, macroClass &set, bool binary, setLint lint)
{
    const std::string path = line.arg(0);
    std::vector<finding> findings = lintAll(set.MMF, std::move(lint), line.value("--table"));

    setSummary summary = summarise(path, binary, set);
    if (line.has("--json")) {
        nlohmann::ordered_json document = summaryJson(summary);
        document["findings"] = findingsJson(findings);
        // Names and paths are bytes, not always UTF-8.
        std::printf("%s\n", document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else {
        printSummary(summary);
        printFindings(findings);
    }
    return line.has("--strict") && !findings.empty() ? 1 : 0;
}

// Whether a file begins as an HTK model file does: with a keyword, a binary keyword or a macro.
bool beginsAsHtk(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    char c = 0;
    while (in.get(c) && (c == ' ' || (c >= '\t' && c <= '\r'))) {
    }
    return in && (c == '<' || c == ':' || c == '~');
}

int checkHtk(const commandLine &line)
{
    if (line.value("--table"))
        return usageError(line, "--table is for a .mac or .macb FILE; import HTK model files to check a table");
    macroClass set;
    mac2mod::htkImportSummary summary;
    std::unique_ptr<htkWatch> watch = watchHtk(line.args);
    try {
        mac2mod::importHtk(set, line.args, summary, watch.get());
    } catch (const mac2mod::error &refused) {
        std::fflush(stdout);
        std::fputs(refused.message().c_str(), stderr);
        for (const std::string &path : line.args)
            if (std::ifstream(path) && !beginsAsHtk(path))
                std::fprintf(stderr,
                             "mmftool check: \"%s\" is not an HTK model file (it begins with no keyword or "
                             "macro); check reads .mac and .macb files as the converter does, any other file "
                             "as HTK model files (as mmftool import does), and mmftool modinfo reads .mod "
                             "files\n",
                             path.c_str());
        return 1;
    }
    std::vector<finding> findings = watch->finish(set.MMF);
    if (line.has("--json")) {
        nlohmann::ordered_json document = importSummaryJson(summary, set);
        document["findings"] = findingsJson(findings);
        std::printf("%s\n", document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else {
        printImportSummary(summary, set);
        printFindings(findings);
    }
    return line.has("--strict") && !findings.empty() ? 1 : 0;
}

}  // namespace

int checkCommand(const commandLine &line)
{
    for (const std::string &path : line.args) {
        if (fileFormOf(path.c_str()) == fileForm::model)
            return toolError(line, "\"%s\" is a model file: mmftool modinfo checks it\n", path.c_str());
        if (macroKindOf(path.c_str()) != macroKind::none && line.args.size() > 1)
            return usageError(line, "a .mac or .macb file is checked alone");
    }
    if (macroKindOf(line.arg(0)) == macroKind::none)
        return checkHtk(line);
    const bool binary = macroKindOf(line.arg(0)) == macroKind::binary;
    macroClass set;
    std::unique_ptr<setWatch> watch = watchSet(set.MMF, line.arg(0), binary);
    try {
        mac2mod::readSet(set, line.arg(0), watch.get());
    } catch (const mac2mod::error &stopped) {
        return reportReadStop(stopped);
    }
    return report(line, set, binary, watch->finish());
}
