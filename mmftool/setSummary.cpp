#include "mmftool/setSummary.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "mmftool/command.h"

namespace {

// At most this many duplicated names are listed; the rest are counted.
constexpr size_t DUPLICATES_SHOWN = 20;

void printDuplicates(const std::map<std::string, std::vector<int>> &duplicates)
{
    if (duplicates.empty())
        return;
    std::printf("duplicate names:\n");
    size_t shown = 0;
    for (const auto &[name, models] : duplicates) {
        if (shown++ == DUPLICATES_SHOWN)
            break;
        std::printf("  \"%s\": models", name.c_str());
        for (int m : models)
            std::printf(" %d", m);
        std::printf("\n");
    }
    if (duplicates.size() > DUPLICATES_SHOWN)
        std::printf("  and %zu more\n", duplicates.size() - DUPLICATES_SHOWN);
}

// JSON object keys are strings.
nlohmann::ordered_json countsJson(const std::map<int, int> &counts)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (auto [value, number] : counts)
        object[std::to_string(value)] = number;
    return object;
}

}  // namespace

setSummary summarise(const std::string &path, bool binary, macroClass &set)
{
    const hmmSet &mmf = set.MMF;
    setSummary summary;
    summary.path = path;
    summary.binary = binary;
    summary.modelNum = mmf.modelNum;
    summary.vecSizes.assign(mmf.vecSize, mmf.vecSize + mmf.streamNum);
    summary.globalOption = mmf.globalOption;
    for (int m = 0; m < mmf.modelNum; m++) {
        const hmmModel &model = mmf.model[m];
        summary.byStates[model.stateNum]++;
        for (int e = 0; e < model.stateNum - 2; e++)
            for (int s = 0; s < mmf.streamNum; s++)
                summary.byComponents[model.state[e].stream[s].mixtureNum]++;
    }
    std::vector<std::string> names;
    set.getModelNames(names);
    std::map<std::string, std::vector<int>> byName;
    for (int m = 0; m < static_cast<int>(names.size()); m++)
        byName[names[m]].push_back(m);
    for (auto &[name, models] : byName)
        if (models.size() > 1)
            summary.duplicates.emplace(name, std::move(models));
    return summary;
}

void printSummary(const setSummary &summary)
{
    std::printf("%s: %s macro file\n", summary.path.c_str(), summary.binary ? "binary" : "text");
    std::printf("models: %d\n", summary.modelNum);
    std::printf("streams: %zu\n", summary.vecSizes.size());
    std::printf("vector sizes:");
    for (int size : summary.vecSizes)
        std::printf(" %d", size);
    std::printf("\nglobal option: %s\n", summary.globalOption.empty() ? "(none)" : summary.globalOption.c_str());
    printCounts("models by number of states", summary.byStates, "state");
    printCounts("streams by number of components", summary.byComponents, "component");
    printDuplicates(summary.duplicates);
}

nlohmann::ordered_json summaryJson(const setSummary &summary)
{
    nlohmann::ordered_json duplicates = nlohmann::ordered_json::object();
    for (const auto &[name, models] : summary.duplicates)
        duplicates[name] = models;
    return {
        {"file", summary.path},
        {"kind", summary.binary ? "binary" : "text"},
        {"models", summary.modelNum},
        {"streams", summary.vecSizes.size()},
        {"vectorSizes", summary.vecSizes},
        {"globalOption", summary.globalOption.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(summary.globalOption)},
        {"modelsByStates", countsJson(summary.byStates)},
        {"streamsByComponents", countsJson(summary.byComponents)},
        {"duplicateNames", duplicates},
    };
}
