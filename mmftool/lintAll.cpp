#include "mmftool/lint.h"

std::vector<finding> lintAll(const macroClass &set, const std::string &path, bool binary,
                             const char *tablePath)
{
    setLint lint = lintSet(set.MMF, path, binary);
    std::vector<finding> tableFindings;
    if (tablePath) {
        tableFindings = lintTable(set.MMF, tablePath, lint);
        placeInLines(tableFindings, tablePath);
    }
    placeInLines(lint.findings, path);
    std::vector<finding> findings = std::move(lint.findings);
    findings.insert(findings.end(), tableFindings.begin(), tableFindings.end());
    return findings;
}
