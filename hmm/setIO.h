// The set operations for programs that embed the libraries: every failure is thrown as
// mac2mod::error (the message the converter prints, its status, the file and place), nothing
// is printed, the process never ends, and no output file is left behind. Different sets may be
// read and written on different threads at once.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "hmm/macroClass.h"
#include "utility/error.h"

class fieldObserver;

namespace mac2mod {

// Reads a text (.mac/.MAC) or binary (.macb/.MACB) macro file by its extension into an empty set.
void readSet(macroClass &set, const std::string &path);
// The same, with observer told where each model and value was read (hmm/fieldObserver.h);
// the file is opened once and read front to back on this thread.
void readSet(macroClass &set, const std::string &path, fieldObserver *observer);
// Writes the set as a text or binary macro file by the extension of path.
void writeSet(const macroClass &set, const std::string &path);
// Writes the model file for the set in the order of the table file.
void writeModelFile(const macroClass &set, const std::string &tablePath, const std::string &outputPath);

}  // namespace mac2mod
