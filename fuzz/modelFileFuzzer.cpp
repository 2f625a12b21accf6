// A binary macro file and a ModelNames.txt per input, written out as a model file. The input
// is the set's bytes, the separator line below, then the table's bytes (no separator: an
// empty table). The binary set is used because a mutated one still reads, so most inputs
// reach the table and the matching.
//
// A run that completes must leave a model file of exactly the size its set gives; one that
// ends on a fatal error must leave no model file and no temporary file behind.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "export/modelFileWriter.h"
#include "fuzzSupport.h"

namespace {

constexpr std::string_view SEPARATOR = "\n--- ModelNames.txt ---\n";

size_t stateValues(const hmmState &state, int vecSize)
{
    return 1 + static_cast<size_t>(state.stream[0].mixtureNum) * (2 + 2 * static_cast<size_t>(vecSize));
}

// Header, the first emitting state of the first model named "sil" (it takes table entry 0),
// then every other model's state count and states.
size_t expectedSize(const hmmSet &set)
{
    const int vecSize = set.vecSize[0];
    int sil = -1;
    for (int m = 0; m < set.modelNum && sil < 0; m++)
        if (std::strcmp(set.model[m].str, "sil") == 0)
            sil = m;
    if (sil < 0)
        std::abort();   // matched without a "sil" model
    size_t values = 2 + stateValues(set.model[sil].state[0], vecSize);
    for (int m = 0; m < set.modelNum; m++) {
        if (m == sil)
            continue;
        values += 1;
        for (int e = 0; e < set.model[m].stateNum - 2; e++)
            values += stateValues(set.model[m].state[e], vecSize);
    }
    return 4 * values;
}

bool exists(const std::string &path)
{
    FILE *stream = std::fopen(path.c_str(), "rb");
    if (stream)
        std::fclose(stream);
    return stream != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string setPath = fuzzPath("set.macb");
    static const std::string tablePath = fuzzPath("ModelNames.txt");
    static const std::string outputPath = fuzzPath("set.mod");
    inputGuard guard;
    std::string_view input(reinterpret_cast<const char *>(data), size);
    size_t cut = input.find(SEPARATOR);
    std::string_view setBytes = input.substr(0, cut);
    std::string_view tableBytes = cut == input.npos ? std::string_view() : input.substr(cut + SEPARATOR.size());
    writeInput(setPath, reinterpret_cast<const uint8_t *>(setBytes.data()), setBytes.size());
    writeInput(tablePath, reinterpret_cast<const uint8_t *>(tableBytes.data()), tableBytes.size());
    {
        macroClass set;
        if (runGuarded([&] { set.readBinaryMacro(setPath.c_str()); }).completed) {
            checkSetCapacities(set.MMF);
            bool written = runGuarded([&] {
                               writeModelFileOf(set.MMF, tablePath.c_str(), outputPath.c_str());
                           }).completed;
            if (written != exists(outputPath))
                std::abort();
            if (written) {
                if (readWhole(outputPath).size() != expectedSize(set.MMF))
                    std::abort();
                std::remove(outputPath.c_str());
            }
        }
    }
    guard.checkNothingLeft({"set.macb", "ModelNames.txt"});
    return 0;
}
