// Writes a set as a text macro file in the form the text reader reads (textMacroReader.h),
// with a <MIXTURE> header before every component. A set whose counts exceed the records is
// refused before the file is opened; failures are thrown as mac2mod::error.
#pragma once

#include "hmm/macroClass.h"

void writeTextMacroFile(const hmmSet &set, const char *path);

// The two text forms of a set share one walk and differ only where their bytes do:
//   converter  the form above: reals as "%e", <NUMMIXES> and a <MIXTURE> header always,
//              every stream weight written as 1.0, components of weight 0 left out;
//   exact      reals with nine significant digits ("%.9g", so every float reads back as
//              itself), the stored stream weights, <NUMMIXES> and <MIXTURE> only where a
//              stream has more than one component, a default option line for an empty one.
// The file replaces an earlier one only when complete. The caller checks the counts first.
enum class textDialect { converter, exact };
void writeTextMacroWalk(const hmmSet &set, const char *path, textDialect dialect);
