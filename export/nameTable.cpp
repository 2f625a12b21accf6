#include "export/nameTable.h"

#include <cstdio>
#include <unordered_map>

#include "hmm/macroScanner.h"
#include "utility/error.h"
#include "utility/fileUtil.h"

std::vector<std::string> readNameTable(const char *path, int modelNum)
{
    uniqueFile stream(mac2mod::openData(path, "rt"));
    macroScanner scanner(stream.get());
    std::vector<std::string> nameTable(modelNum);
    nameTable[0] = "sil";
    std::string name;
    for (int k = 1; k < modelNum; k++) {
        // "%d %s": a number that does not read stops the entry before its name.
        int unused;
        if (scanner.integer(unused) == macroScanner::ok)
            scanner.token(name);
        nameTable[k] = name;
    }
    return nameTable;
}

std::vector<int> matchModels(const std::vector<std::string> &nameTable,
                             const std::vector<const char *> &modelNames)
{
    struct entries {
        std::vector<int> index;   // ascending
        size_t taken = 0;
    };
    std::unordered_map<std::string, entries> byName;
    for (int j = 0; j < static_cast<int>(nameTable.size()); j++)
        byName[nameTable[j]].index.push_back(j);
    std::vector<int> indexTable(nameTable.size(), 0);
    for (int i = 0; i < static_cast<int>(modelNames.size()); i++) {
        auto found = byName.find(modelNames[i]);
        if (found == byName.end() || found->second.taken == found->second.index.size())
            mac2mod::raisef(-1, "Error: can not find model name \"%s\" in \"ModelNames.txt\"\n", modelNames[i]);
        indexTable[found->second.index[found->second.taken++]] = i;
    }
    return indexTable;
}
