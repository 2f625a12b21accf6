#include "hmm/setIO.h"
#include "mmftool/lint.h"
#include "utility/error.h"

std::vector<finding> lintAll(const hmmSet &set, setLint lint, const char *tablePath)
{
    std::vector<finding> tableFindings;
    if (tablePath)
        tableFindings = lintTable(set, tablePath, lint);
    lint.lines.place(lint.findings, lint.path);
    std::vector<finding> findings = std::move(lint.findings);
    findings.insert(findings.end(), tableFindings.begin(), tableFindings.end());
    return findings;
}

std::vector<finding> lintAll(const macroClass &set, const std::string &path, bool binary,
                             const char *tablePath)
{
    macroClass again;
    std::unique_ptr<setWatch> watch = watchSet(again.MMF, path, binary);
    mac2mod::readSet(again, path, watch.get());
    if (again.MMF.modelNum != set.MMF.modelNum)
        mac2mod::raisef(1, "Error: \"%s\" holds %d models now, not the %d that were read from it.\n",
                        path.c_str(), again.MMF.modelNum, set.MMF.modelNum);
    return lintAll(again.MMF, watch->finish(), tablePath);
}
