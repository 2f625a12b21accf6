// The baseline of the text reader's benchmark: the read of a text macro file done with the C
// library's fgets and fscanf, one directive after another as the format describes it. It
// checks only what the keyword tests check and prints nothing; a malformed file just stops
// the read.
#pragma once

#include "hmm/macroClass.h"

void referenceReadTextMacro(hmmSet &set, const char *path);
