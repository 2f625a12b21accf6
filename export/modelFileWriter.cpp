#include "export/modelFileWriter.h"

#include <cmath>
#include <vector>

#include "export/nameTable.h"
#include "utility/byteOrder.h"
#include "utility/fatal.h"
#include "utility/outputFile.h"

namespace {

constexpr float SIL_WEIGHT_SCALE = 10000000.0f;
constexpr float WEIGHT_SCALE = 100000.0f;

// Appends one emitting state's first stream: M, the scaled weights, their logarithms, then
// the means and variances of each mixture.
void putState(std::vector<unsigned char> &bytes, const hmmState &state, int vecSize, float scale)
{
    const hmmStream &stream = state.stream[0];
    const int m = stream.mixtureNum;
    size_t at = bytes.size();
    bytes.resize(at + 4 * (1 + static_cast<size_t>(m) * (2 + 2 * vecSize)));
    unsigned char *out = bytes.data() + at;
    auto put = [&out](float value) {
        putLE32(out, floatBits(value));
        out += 4;
    };
    put(static_cast<float>(m));
    for (int k = 0; k < m; k++)
        put(stream.mixture[k].mixtureWeight * scale);
    for (int k = 0; k < m; k++)
        put(static_cast<float>(std::log(static_cast<double>(stream.mixture[k].mixtureWeight))));
    for (int k = 0; k < m; k++) {
        for (int v = 0; v < vecSize; v++)
            put(stream.mixture[k].mean[v]);
        for (int v = 0; v < vecSize; v++)
            put(stream.mixture[k].variance[v]);
    }
}

}  // namespace

void writeModelFileOf(const hmmSet &set, const char *tablePath, const char *outputPath)
{
    if (set.modelNum < 1)
        fatalf(-1, "Error: no model to write to the Halvern file [%s]\n", outputPath);
    std::vector<std::string> nameTable = readNameTable(tablePath, set.modelNum);
    std::vector<const char *> modelNames(set.modelNum);
    for (int i = 0; i < set.modelNum; i++)
        modelNames[i] = set.model[i].str;
    std::vector<int> indexTable = matchModels(nameTable, modelNames);

    outputFile out(outputPath, "wb", true, "Error: fail to open Halvern file [%s]\n");
    const int vecSize = set.vecSize[0];
    std::vector<unsigned char> bytes;
    out.putFloat(static_cast<float>(set.modelNum - 1));
    out.putFloat(static_cast<float>(vecSize));
    putState(bytes, set.model[indexTable[0]].state[0], vecSize, SIL_WEIGHT_SCALE);
    out.write(bytes.data(), bytes.size());
    for (int j = 1; j < set.modelNum; j++) {
        const hmmModel &model = set.model[indexTable[j]];
        bytes.clear();
        out.putFloat(static_cast<float>(model.stateNum - 2));
        for (int e = 0; e < model.stateNum - 2; e++)
            putState(bytes, model.state[e], vecSize, WEIGHT_SCALE);
        out.write(bytes.data(), bytes.size());
    }
    out.close();
}

void macroClass::writeModelFile(std::string outputPath)
{
    writeModelFileOf(MMF, "ModelNames.txt", outputPath.c_str());
}
