// The one heap block of a set: modelNum zero-filled model records.
#pragma once

#include "hmm/macroClass.h"

// calloc of the array, or a message and status 1 when the memory is not there.
hmmModel *allocateModels(int modelNum);
