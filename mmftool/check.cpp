// mmftool check FILE: the set read as the converter reads it, summarised on one screen; a
// malformed file gets the reader's message and the place where the read stopped.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "hmm/setIO.h"
#include "mmftool/command.h"
#include "mmftool/readStopReport.h"

namespace {

// At most this many duplicated names are listed; the rest are counted.
constexpr size_t DUPLICATES_SHOWN = 20;

void printDuplicates(const std::vector<std::string> &names)
{
    std::map<std::string, std::vector<int>> byName;
    for (int m = 0; m < static_cast<int>(names.size()); m++)
        byName[names[m]].push_back(m);
    size_t duplicated = 0;
    for (const auto &[name, models] : byName) {
        if (models.size() < 2)
            continue;
        if (duplicated++ == 0)
            std::printf("duplicate names:\n");
        if (duplicated > DUPLICATES_SHOWN)
            continue;
        std::printf("  \"%s\": models", name.c_str());
        for (int m : models)
            std::printf(" %d", m);
        std::printf("\n");
    }
    if (duplicated > DUPLICATES_SHOWN)
        std::printf("  and %zu more\n", duplicated - DUPLICATES_SHOWN);
}

void printSummary(const char *path, macroClass &set)
{
    const hmmSet &mmf = set.MMF;
    std::printf("%s: %s macro file\n", path, macroKindOf(path) == macroKind::text ? "text" : "binary");
    std::printf("models: %d\n", mmf.modelNum);
    std::printf("streams: %d\n", mmf.streamNum);
    std::printf("vector sizes:");
    for (int s = 0; s < mmf.streamNum; s++)
        std::printf(" %d", mmf.vecSize[s]);
    std::printf("\nglobal option: %s\n", mmf.globalOption[0] ? mmf.globalOption : "(none)");

    std::map<int, int> byStates, byComponents;
    for (int m = 0; m < mmf.modelNum; m++) {
        const hmmModel &model = mmf.model[m];
        byStates[model.stateNum]++;
        for (int e = 0; e < model.stateNum - 2; e++)
            for (int s = 0; s < mmf.streamNum; s++)
                byComponents[model.state[e].stream[s].mixtureNum]++;
    }
    printCounts("models by number of states", byStates, "state");
    printCounts("streams by number of components", byComponents, "component");

    std::vector<std::string> names;
    set.getModelNames(names);
    printDuplicates(names);
}

}  // namespace

int checkCommand(const commandLine &line)
{
    macroClass set;
    try {
        mac2mod::readSet(set, line.arg(0));
    } catch (const mac2mod::error &stopped) {
        return reportReadStop(stopped);
    }
    printSummary(line.arg(0), set);
    return 0;
}
