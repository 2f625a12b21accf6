#include "export/modelFileWriter.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <future>
#include <vector>

#include "export/nameTable.h"
#include "utility/byteOrder.h"
#include "utility/fatal.h"
#include "utility/outputFile.h"

namespace {

constexpr float SIL_WEIGHT_SCALE = 10000000.0f;
constexpr float WEIGHT_SCALE = 100000.0f;
// Models after "sil" are encoded in batches of this many on worker threads, RING batches
// ahead of the one being written, each into a buffer that goes round the ring: encoding runs
// beside the writes, and no batch needs fresh pages.
constexpr int BATCH = 256;
constexpr int RING = 3;

using byteBuffer = std::vector<unsigned char>;

void putFloat(byteBuffer &bytes, float value)
{
    bytes.resize(bytes.size() + 4);
    putLE32(bytes.data() + bytes.size() - 4, floatBits(value));
}

// Appends one emitting state's first stream: M, the scaled weights, their logarithms, then
// the means and variances of each mixture.
void putState(byteBuffer &bytes, const hmmState &state, int vecSize, float scale)
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

// Table entries [first, last) of the models after "sil": the emitting state count, then
// each state.
byteBuffer encodeModels(const hmmSet &set, const std::vector<int> &indexTable, int first,
                        int last, byteBuffer bytes)
{
    bytes.clear();
    for (int j = first; j < last; j++) {
        const hmmModel &model = set.model[indexTable[j]];
        putFloat(bytes, static_cast<float>(model.stateNum - 2));
        for (int e = 0; e < model.stateNum - 2; e++)
            putState(bytes, model.state[e], set.vecSize[0], WEIGHT_SCALE);
    }
    return bytes;
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
    byteBuffer bytes;
    putFloat(bytes, static_cast<float>(set.modelNum - 1));
    putFloat(bytes, static_cast<float>(set.vecSize[0]));
    putState(bytes, set.model[indexTable[0]].state[0], set.vecSize[0], SIL_WEIGHT_SCALE);
    out.write(bytes.data(), bytes.size());

    // A single batch, or one for which no thread can be had, is encoded when its turn to be
    // written comes.
    const int batches = (set.modelNum - 1 + BATCH - 1) / BATCH;
    const std::launch policy = batches > 1 ? std::launch::async | std::launch::deferred : std::launch::deferred;
    auto launch = [&](int b, byteBuffer buffer) {
        const int first = 1 + b * BATCH;
        const int last = std::min(set.modelNum, first + BATCH);
        return std::async(policy, encodeModels,
                          std::cref(set), std::cref(indexTable), first, last, std::move(buffer));
    };
    std::deque<std::future<byteBuffer>> pending;
    for (int b = 0; b < std::min(RING, batches); b++)
        pending.push_back(launch(b, byteBuffer()));
    for (int b = 0; b < batches; b++) {
        bytes = pending.front().get();
        pending.pop_front();
        out.write(bytes.data(), bytes.size());
        if (b + RING < batches)
            pending.push_back(launch(b + RING, std::move(bytes)));
    }
    out.close();
}

void macroClass::writeModelFile(std::string outputPath)
{
    writeModelFileOf(MMF, "ModelNames.txt", outputPath.c_str());
}
