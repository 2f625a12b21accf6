// mmftool names FILE [--sorted] [--table]: the model names, or a ModelNames.txt for them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "mmftool/command.h"

namespace {

// The converter reads each table name as one white-space separated word.
bool fitsTable(const std::string &name)
{
    return !name.empty() && std::none_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isspace(c);
    });
}

}  // namespace

int namesCommand(const commandLine &line)
{
    macroClass set;
    set.readByExtension(line.arg(0));
    if (line.has("--sorted"))
        set.sortModels(0, set.MMF.modelNum - 1);
    std::vector<std::string> names;
    set.getModelNames(names);

    if (!line.has("--table")) {
        for (const std::string &name : names)
            std::printf("%s\n", name.c_str());
        return 0;
    }
    // The converter puts the first "sil" before the table's entries by itself; every other
    // model, a second "sil" too, needs an entry of its own.
    auto sil = std::find(names.begin(), names.end(), "sil");
    if (sil == names.end())
        std::fprintf(stderr, "mmftool names: warning: the set has no model named \"sil\", which the converter needs\n");
    else
        names.erase(sil);
    for (const std::string &name : names)
        if (!fitsTable(name))
            return toolError(line, "the model name \"%s\" cannot stand in a table: it is empty or holds white space\n",
                             name.c_str());
    for (size_t k = 0; k < names.size(); k++)
        std::printf("%zu %s\n", k + 1, names[k].c_str());
    return 0;
}
