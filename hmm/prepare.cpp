// Not built yet.
#include "hmm/macroClass.h"
#include "utility/fatal.h"

void macroClass::prepareModels() {}
