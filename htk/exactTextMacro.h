// The converter's text macro file (.mac), written so that the text reader reads
// back exactly the floats of the set: every value printed with nine significant digits, and
// each stream of one component without a <MIXTURE> header (the reader takes a count of 1
// without one). The text form holds vectors of 24 values only; another size is refused.
//
// This is not writeTextMacro, whose bytes stored files and callers rely on: that writer
// prints six digits and a header before every component. Both follow one walk of the set
// (hmm/textMacroWriter.h).
#pragma once

#include <string>

#include "hmm/setIO.h"

namespace mac2mod {

// The file is written whole or not at all: to a temporary file beside it, renamed when
// complete. Throws error on a set the form cannot hold and on a failed write.
void writeExactTextMacro(const macroClass &set, const std::string &path);
// Throws the error writeExactTextMacro would for a set the form cannot hold; writes nothing.
void checkExactTextMacro(const macroClass &set);

}  // namespace mac2mod
