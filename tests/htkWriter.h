// HTK model files written from a set, in the forms HTK's tools write (htk-mmf.md, section 11),
// for the tests and benchmarks of the import: the set must come back from importHtk.
#pragma once

#include <string>

#include "hmm/macroClass.h"

struct htkForm {
    bool binary = false;       // HTK's -B form: binary keywords and numbers, text macro headers
    bool littleEndian = false; // binary numbers as HTK's NATURALWRITEORDER writes them on x86
    bool gconstOwnLine = false;   // a line feed before each <GCONST>, which HTK's loader skips
    bool transMacros = true;   // each distinct transition matrix once, as ~t "trN"
    bool streamWeights = false;   // <SWEIGHTS> in every state (else left out: 1.0)
    bool numMixesAlways = false;  // <NUMMIXES> even when every stream has one component
    const char *kind = "MFCC_D_A_0";
    int digits = 6;   // after the point, in text: HTK's %e has 6
};

// The whole file as bytes.
std::string htkText(const hmmSet &set, const htkForm &form = htkForm());
void writeHtk(const hmmSet &set, const std::string &path, const htkForm &form = htkForm());
