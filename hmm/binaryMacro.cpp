// Not built yet.
#include "hmm/macroClass.h"
#include "utility/fatal.h"

void macroClass::readBinaryMacro(const char *) { fatalExit(1); }
void macroClass::writeBinaryMacro(const char *) { fatalExit(1); }
