// Writes a set as a text macro file in the form the text reader reads (textMacroReader.h),
// with a <MIXTURE> header before every component. A set whose counts exceed the records is
// refused before the file is opened; failures are thrown as mac2mod::error.
#pragma once

#include "hmm/macroClass.h"

void writeTextMacroFile(const hmmSet &set, const char *path);
