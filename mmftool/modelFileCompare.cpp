#include "mmftool/modelFileCompare.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "export/modelFileWriter.h"
#include "export/nameTable.h"
#include "hmm/macroClass.h"
#include "utility/byteOrder.h"
#include "utility/fatal.h"

namespace {

// The folder that holds the converter's output for the comparison; a fatal error on the way
// removes it before the process ends.
std::string scratch;

void removeScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

void removeScratchAndStop(int status)
{
    setFatalHandler(nullptr);
    removeScratch();
    fatalExit(status);
}

bool makeScratch()
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    std::string pattern = (folder / "mmftool-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return false;
    scratch = pattern;
    return true;
}

}  // namespace

int compareWithConverter(const commandLine &line, const modelFile &file)
{
    const char *path = line.arg(0), *setPath = line.arg(1), *table = line.arg(2);
    macroClass set;
    set.readByExtension(setPath);
    if (!makeScratch())
        return toolError(line, "cannot create a scratch folder: %s\n", std::strerror(errno));

    setFatalHandler(removeScratchAndStop);
    std::string expectedPath = scratch + "/expected.mod";
    writeModelFileOf(set.MMF, table, expectedPath.c_str());
    modelFile expected;
    std::string error;
    bool readBack = readModelFile(expectedPath.c_str(), expected, error);
    setFatalHandler(nullptr);
    removeScratch();
    if (!readBack)
        return toolError(line, "what the converter writes for \"%s\" does not read back: %s\n",
                         setPath, error.c_str());

    // Every count is among the values, so two consistent files that agree on a common
    // prefix as long as the shorter one have the same layout and the same length.
    size_t n = std::min(file.values.size(), expected.values.size()), i = 0;
    while (i < n && floatBits(file.values[i]) == floatBits(expected.values[i]))
        i++;
    if (i == n) {
        std::printf("\"%s\" is what the converter writes for \"%s\" with \"%s\"\n", path, setPath, table);
        return 0;
    }
    std::string model;
    int record = file.recordOf(i);
    if (record >= 0)
        model = " (model \"" + readNameTable(table, set.MMF.modelNum)[record] + "\")";
    return toolError(line,
                     "\"%s\" differs from what the converter writes for \"%s\" with \"%s\", first at byte %zu, %s%s: "
                     "%.9g (%08x) in the file, %.9g (%08x) expected\n",
                     path, setPath, table, 4 * i, file.describe(i).c_str(), model.c_str(),
                     file.values[i], floatBits(file.values[i]), expected.values[i],
                     floatBits(expected.values[i]));
}
