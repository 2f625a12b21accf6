// mmftool dump FILE MODEL OUT: the diagnostic dump of one model, chosen by name or index.
#include <cerrno>
#include <cstdlib>
#include <string>

#include "hmm/macroClass.h"
#include "hmm/setLimits.h"
#include "mmftool/command.h"

namespace {

// The first model of that name; otherwise, for a plain decimal number within the set, the
// model at that index; otherwise -1.
int chooseModel(const hmmSet &set, const std::string &model)
{
    for (int m = 0; m < set.modelNum; m++)
        if (modelName(set.model[m]) == model)
            return m;
    if (model.empty() || model.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    errno = 0;
    long index = std::strtol(model.c_str(), nullptr, 10);
    return errno == 0 && index < set.modelNum ? static_cast<int>(index) : -1;
}

}  // namespace

int dumpCommand(const commandLine &line)
{
    macroClass set;
    set.readByExtension(line.arg(0));
    int index = chooseModel(set.MMF, line.args[1]);
    if (index < 0)
        return toolError(line, "\"%s\" holds no model named \"%s\", nor one of that index (0 to %d)\n",
                         line.arg(0), line.arg(1), set.MMF.modelNum - 1);
    set.dumpModel(index, line.arg(2));
    return 0;
}
