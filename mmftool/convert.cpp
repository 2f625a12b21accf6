// mmftool convert IN OUT [--prepare]: between text and binary macro files, each chosen by
// its extension.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "hmm/macroClass.h"
#include "hmm/setIO.h"
#include "mmftool/command.h"

namespace {

// Writing OUT over IN would lose the input if the write failed half-way.
bool sameFile(const char *a, const char *b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// A set read from a binary file has no global option line, and a text file without one does
// not read back: the reader would take the first model's header for it. The line is made
// from the set's sizes; the parameter kind is not known.
void supplyGlobalOption(hmmSet &set)
{
    if (set.globalOption[0])
        return;
    int total = 0;
    for (int s = 0; s < set.streamNum; s++)
        total += set.vecSize[s];
    std::snprintf(set.globalOption, sizeof set.globalOption, "<VECSIZE> %d <NULLD> <USER> <DIAGC>", total);
}

bool hasOneComponentStream(const hmmSet &set)
{
    for (int m = 0; m < set.modelNum; m++)
        for (int e = 0; e < set.model[m].stateNum - 2; e++)
            for (int s = 0; s < set.streamNum; s++)
                if (set.model[m].state[e].stream[s].mixtureNum == 1)
                    return true;
    return false;
}

}  // namespace

int convertCommand(const commandLine &line)
{
    const char *in = line.arg(0), *out = line.arg(1);
    macroKind outKind = macroKindOf(out);
    const bool modelFile = fileFormOf(out) == fileForm::model;
    if (outKind == macroKind::none && !modelFile)
        return usageError(line, "OUT must end in .mac, .macb or .mod");
    if (line.values.count("--table") && !modelFile)
        return usageError(line, "--table is for a .mod OUT only");
    if (sameFile(in, out))
        return toolError(line, "\"%s\" is the input file; write to another file\n", out);
    if (modelFile) {
        // As the converter does it, with the table named instead of ModelNames.txt.
        if (line.has("--prepare"))
            return usageError(line, "--prepare is for a macro file OUT only");
        macroClass set;
        try {
            mac2mod::readSet(set, in);
            mac2mod::writeModelFile(set, line.value("--table", "ModelNames.txt"), out);
        } catch (const mac2mod::error &e) {
            // Once the readers and writers throw: their message as the converter prints it.
            std::fputs(e.message().c_str(), stdout);
            return e.status();
        }
        return 0;
    }

    macroClass set;
    set.read(in, line.has("--prepare") ? 1 : 0);
    if (outKind == macroKind::binary) {
        set.writeBinaryMacro(out);
        return 0;
    }
    supplyGlobalOption(set.MMF);
    set.writeTextMacro(out);
    if (hasOneComponentStream(set.MMF))
        std::fprintf(stderr, "mmftool convert: warning: \"%s\" has streams of one component, written with a "
                             "<MIXTURE> header that the text reader does not take back\n", out);
    return 0;
}
