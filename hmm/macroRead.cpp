#include <cstdio>
#include <cstring>

#include "hmm/macroClass.h"
#include "utility/fatal.h"

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
    const char *extension = fileExtension(path);
    if (std::strcmp(extension, "macb") == 0 || std::strcmp(extension, "MACB") == 0)
        readBinaryMacro(path);
    else if (std::strcmp(extension, "mac") == 0 || std::strcmp(extension, "MAC") == 0)
        readTextMacro(path);
    else
        fatalf(1, "Error in reading \"%s\": The only allowed extension are \"mac\" and \"macb\".\n", path);
}
