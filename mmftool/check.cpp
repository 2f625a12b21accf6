// mmftool check FILE [--table TABLE] [--strict] [--json]: the set read as the converter reads
// it, summarised on one screen, then what in it (and in TABLE) would hurt the recogniser; a
// malformed file gets the reader's message and the place where the read stopped. The file is
// read once: the checks watch the read.
#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "hmm/setIO.h"
#include "mmftool/command.h"
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

}  // namespace

int checkCommand(const commandLine &line)
{
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
