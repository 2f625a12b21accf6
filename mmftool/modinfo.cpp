// mmftool modinfo FILE.mod [--table TABLE] [SET TABLE]: a model file read back, checked and
// summarised, with warnings for values that are not numbers and variances not above 0; the
// records named by the table where one is given.
#include <cstdio>
#include <map>
#include <string>

#include "export/modelFileReader.h"
#include "mmftool/command.h"
#include "mmftool/lint.h"
#include "mmftool/modelFileCompare.h"
#include "utility/error.h"

namespace {

void printSummary(const char *path, const modelFile &file)
{
    std::printf("%s: model file of %zu bytes\n", path, 4 * file.values.size());
    std::printf("models: %d, sil and %d after it\n", file.modelNum(), file.modelNum() - 1);
    std::printf("vector size: %d\n", file.vecSize);
    std::map<int, int> byStates, byMixtures;
    for (int r = 0; r < file.modelNum(); r++) {
        if (r > 0)
            byStates[static_cast<int>(file.records[r].states.size())]++;
        for (const modelFileState &state : file.records[r].states)
            byMixtures[state.mixtureNum]++;
    }
    printCounts("model records by number of emitting states", byStates, "state");
    printCounts("states by number of mixtures, sil's included", byMixtures, "mixture");
}

}  // namespace

int modinfoCommand(const commandLine &line)
{
    if (line.args.size() == 2)
        return usageError(line, "SET needs its TABLE");
    const char *table = line.args.size() == 3 ? line.arg(2) : line.value("--table");
    if (line.args.size() == 3 && line.value("--table"))
        return usageError(line, "TABLE is given twice: after SET, and as --table");
    modelFile file;
    try {
        file = readModelFile(line.arg(0), table);
    } catch (const mac2mod::error &e) {
        if (e.status() != 1)
            throw;   // the file could not be opened: the library's own message
        return toolError(line, "\"%s\": %s\n", line.arg(0), e.message().c_str());
    }
    printSummary(line.arg(0), file);
    printFindings(lintModelFile(file, line.arg(0)));
    return line.args.size() == 3 ? compareWithConverter(line, file) : 0;
}
