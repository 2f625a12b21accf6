#include "hmm/setIO.h"

#include "hmm/binaryMacro.h"
#include "export/modelFileWriter.h"

// Interim: the exiting operations, until the readers and writers throw.
namespace mac2mod {

void readSet(macroClass &set, const std::string &path)
{
    set.readByExtension(path.c_str());
}

void writeSet(const macroClass &set, const std::string &path)
{
    std::string extension = fileExtension(path.c_str());
    if (extension == "macb" || extension == "MACB")
        writeBinaryMacroFile(set.MMF, path.c_str());
    else
        const_cast<macroClass &>(set).writeTextMacro(path.c_str());
}

void writeModelFile(const macroClass &set, const std::string &tablePath, const std::string &outputPath)
{
    writeModelFileOf(set.MMF, tablePath.c_str(), outputPath.c_str());
}

}  // namespace mac2mod
