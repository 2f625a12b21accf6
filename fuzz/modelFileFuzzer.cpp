// A binary macro file and a ModelNames.txt per input, written out as a model file. The input
// is the set's bytes, the separator line below, then the table's bytes (no separator: an
// empty table). The binary set is used because a mutated one still reads, so most inputs
// reach the table and the matching.
//
// A run that completes must leave a model file that the model file reader takes to its last
// byte, with a record for every model; one that is refused must leave no model file and no
// temporary file behind.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "export/modelFileReader.h"
#include "fuzzSupport.h"

namespace {

constexpr std::string_view SEPARATOR = "\n--- ModelNames.txt ---\n";

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
        if (runGuarded([&] { mac2mod::readSet(set, setPath); }).completed) {
            checkSetCapacities(set.MMF);
            bool written = runGuarded([&] {
                               mac2mod::writeModelFile(set, tablePath, outputPath);
                           }).completed;
            if (written != exists(outputPath))
                std::abort();
            if (written) {
                std::string bytes = readWhole(outputPath);
                outcome parsed = runGuarded([&] {
                    modelFile file = parseModelFile(reinterpret_cast<const unsigned char *>(bytes.data()),
                                                    bytes.size());
                    if (file.modelNum() != set.MMF.modelNum)
                        std::abort();
                });
                if (!parsed.completed)
                    std::abort();
                std::remove(outputPath.c_str());
            }
        }
    }
    guard.checkNothingLeft({"set.macb", "ModelNames.txt"});
    return 0;
}
