#include "mmftool/modelFileCompare.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "export/modelFileWriter.h"
#include "export/nameTable.h"
#include "hmm/setIO.h"
#include "utility/byteOrder.h"
#include "utility/error.h"

int compareWithConverter(const commandLine &line, const modelFile &file)
{
    const char *path = line.arg(0), *setPath = line.arg(1), *table = line.arg(2);
    macroClass set;
    mac2mod::readSet(set, setPath);
    std::vector<unsigned char> bytes = modelFileBytes(set.MMF, table, path);
    modelFile expected;
    try {
        expected = parseModelFile(bytes.data(), bytes.size());
    } catch (const mac2mod::error &e) {
        return toolError(line, "what the converter writes for \"%s\" does not read back: %s\n",
                         setPath, e.message().c_str());
    }

    // Every count is among the values, so two consistent files that agree on a common
    // prefix as long as the shorter one have the same layout and the same length.
    size_t n = std::min(file.values.size(), expected.values.size()), i = 0;
    while (i < n && floatBits(file.values[i]) == floatBits(expected.values[i]))
        i++;
    if (i == n) {
        std::printf("\"%s\" is what the converter writes for \"%s\" with \"%s\"\n", path, setPath, table);
        return 0;
    }
    // The record's model by its index in the set, as the other messages number it.
    std::string model;
    int record = file.recordOf(i);
    if (record >= 0) {
        std::vector<std::string> names = readNameTable(table, set.MMF.modelNum);
        std::vector<const char *> modelNames;
        for (int m = 0; m < set.MMF.modelNum; m++)
            modelNames.push_back(set.MMF.model[m].str);
        model = mac2mod::formatted(" (model %d of \"%s\")", matchModels(names, modelNames)[record], setPath);
    }
    return toolError(line,
                     "\"%s\" differs from what the converter writes for \"%s\" with \"%s\", first at byte %zu, %s%s: "
                     "%.9g (%08x) in the file, %.9g (%08x) expected\n",
                     path, setPath, table, 4 * i, file.describe(i).c_str(), model.c_str(),
                     file.values[i], floatBits(file.values[i]), expected.values[i],
                     floatBits(expected.values[i]));
}
