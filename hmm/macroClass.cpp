// The exiting operations of the set: each runs the throwing one and, on an error, prints its
// message and ends the process with its status.
#include "hmm/macroClass.h"

#include <cstdlib>

#include "export/modelFileWriter.h"
#include "hmm/binaryMacro.h"
#include "hmm/modelView.h"
#include "hmm/setIO.h"
#include "hmm/textMacroReader.h"
#include "hmm/textMacroWriter.h"

using mac2mod::orExit;

macroClass::macroClass() : MMF{}
{
}

macroClass::~macroClass()
{
    std::free(MMF.model);
}

void macroClass::read(const char *path, int flag)
{
    readByExtension(path);
    if (flag != 0) {
        sortModels(0, MMF.modelNum - 1);
        prepareModels();
    }
}

void macroClass::readByExtension(const char *path)
{
    orExit([&] { mac2mod::readSet(*this, path); });
}

void macroClass::readTextMacro(const char *path)
{
    orExit([&] { readTextMacroFile(MMF, path); });
}

void macroClass::writeTextMacro(const char *path)
{
    orExit([&] { writeTextMacroFile(MMF, path); });
}

void macroClass::readBinaryMacro(const char *path)
{
    orExit([&] { readBinaryMacroFile(MMF, path); });
}

void macroClass::writeBinaryMacro(const char *path)
{
    orExit([&] { writeBinaryMacroFile(MMF, path); });
}

void macroClass::dumpModel(int index, const char *path)
{
    orExit([&] { dumpModelOf(MMF, index, path); });
}

int macroClass::findSubstituteModel(const std::string &modelStr)
{
    return orExit([&] { return findSubstituteModelOf(MMF, modelStr); });
}

void macroClass::writeModelFile(std::string outputPath)
{
    orExit([&] { writeModelFileOf(MMF, "ModelNames.txt", outputPath.c_str()); });
}
