// The writer's side of the model file walk (modelFileLayout.h): the values of a set's models,
// in the order of a table, encoded as little-endian floats into a byte buffer.
#pragma once

#include <vector>

#include "export/modelFileLayout.h"
#include "hmm/macroClass.h"

using byteBuffer = std::vector<unsigned char>;

// Appends the header and the "sil" record (model indexTable[0]'s first emitting state).
void encodeHeader(const hmmSet &set, const std::vector<int> &indexTable, byteBuffer &bytes);
// Appends records [first, last): record j is model indexTable[j].
void encodeRecords(const hmmSet &set, const std::vector<int> &indexTable, int first, int last,
                   byteBuffer &bytes);
