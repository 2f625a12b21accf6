// Looking into a set: the dump of one model and the lookup of a substitute model. Failures
// are thrown as mac2mod::error.
#pragma once

#include <string>

#include "hmm/macroClass.h"

// The dump of model index as text; an index outside the set is refused before the file is
// opened.
void dumpModelOf(const hmmSet &set, int index, const char *path);
// The first model whose name begins with modelStr up to its first '+' followed by "sil",
// else by anything; -1 when there is none. A string without '+' is refused.
int findSubstituteModelOf(const hmmSet &set, const std::string &modelStr);
