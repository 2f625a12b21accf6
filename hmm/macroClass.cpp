#include "hmm/macroClass.h"

#include <cstdlib>

macroClass::macroClass() : MMF{}
{
}

macroClass::~macroClass()
{
    std::free(MMF.model);
}
