// Writing the model file (its layout is in modelFileLayout.h) for a set and its table
// (nameTable.h), to a file or to memory. Failures are thrown as mac2mod::error, before
// anything is opened where they concern the set or the table.
#pragma once

#include <cstddef>
#include <vector>

#include "hmm/macroClass.h"

// The model file of the set in the order of the table file, written whole to outputPath or
// not at all.
void writeModelFileOf(const hmmSet &set, const char *tablePath, const char *outputPath);
// The same bytes in memory; name stands for the output in messages.
std::vector<unsigned char> modelFileBytes(const hmmSet &set, const char *tablePath, const char *name);
