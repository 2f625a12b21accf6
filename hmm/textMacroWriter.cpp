// Not built yet.
#include "hmm/macroClass.h"
#include "utility/fatal.h"

void macroClass::writeTextMacro(const char *) { fatalExit(1); }
