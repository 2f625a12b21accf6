#include "export/nameTable.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "hmm/macroClass.h"
#include "hmm/macroScanner.h"
#include "utility/error.h"
#include "utility/fileUtil.h"

namespace {

constexpr size_t NAME_KEPT = MAX_STR_LEN;
static_assert(NAME_KEPT >= MAX_NAME_LEN, "a kept name stays longer than any model's");

}  // namespace

std::vector<std::string> readNameTable(const char *path, int modelNum, std::vector<long> *offsets,
                                       tableObserver *observer)
{
    uniqueFile stream(mac2mod::openData(path, "rt"));
    macroScanner scanner(stream.get());
    scanner.tap(observer);
    std::vector<std::string> nameTable(std::max(modelNum, 1));   // "sil" even for no model
    nameTable[0] = "sil";
    if (offsets)
        offsets->assign(1, -1);
    std::string name;
    for (int k = 1; k < modelNum; k++) {
        // "%d %s": a number that does not read stops the entry before its name.
        int unused;
        // A name longer than a model's can match none, and is not held whole however long
        // (but for an observer).
        bool read = scanner.integer(unused) == macroScanner::ok &&
                    scanner.token(name, observer ? std::string::npos : NAME_KEPT) == macroScanner::ok;
        nameTable[k].assign(name, 0, NAME_KEPT);
        if (offsets)
            offsets->push_back(read ? scanner.lastStart() : -1);
        if (observer)
            observer->entry(k, name, scanner.lastStart(), read);
    }
    if (observer)
        observer->after(scanner);
    return nameTable;
}

tableMatch matchTable(const std::vector<std::string> &nameTable,
                      const std::vector<const char *> &modelNames)
{
    // The window [lo, hi] of entries still open, walked as a scan from lo would: per name its
    // entries in table order, and the first of them not below lo. lo only grows, so each
    // name's cursor only moves forward.
    struct entries {
        std::vector<int> index;
        size_t first = 0;
    };
    std::unordered_map<std::string, entries> byName;
    for (int j = 0; j < static_cast<int>(nameTable.size()); j++)
        byName[nameTable[j]].index.push_back(j);
    tableMatch match;
    match.entryModel.assign(nameTable.size(), -1);
    int lo = 0, hi = static_cast<int>(nameTable.size()) - 1;
    for (int i = 0; i < static_cast<int>(modelNames.size()); i++) {
        auto found = byName.find(modelNames[i]);
        int j = -1;
        if (found != byName.end()) {
            entries &e = found->second;
            while (e.first < e.index.size() && e.index[e.first] < lo)
                e.first++;
            if (e.first < e.index.size() && e.index[e.first] <= hi)
                j = e.index[e.first];
        }
        if (j < 0) {
            match.modelsWithoutEntry.push_back(i);
            continue;
        }
        match.entryModel[j] = i;   // a second model of the name takes the entry over
        if (j == lo)
            lo++;
        if (j == hi)
            hi--;
    }
    return match;
}

std::vector<int> matchModels(const std::vector<std::string> &nameTable,
                             const std::vector<const char *> &modelNames)
{
    tableMatch match = matchTable(nameTable, modelNames);
    if (!match.modelsWithoutEntry.empty())
        mac2mod::raisef(-1, "Error: can not find model name \"%s\" in \"ModelNames.txt\"\n",
                        modelNames[match.modelsWithoutEntry[0]]);
    return match.entryModel;
}
