// Whether a model file is, value for value, what the converter writes for a set and its table.
#pragma once

#include "export/modelFileReader.h"
#include "mmftool/command.h"

// line: modinfo FILE.mod SET TABLE, with file the consistent model file read from FILE.mod.
// The set's read and the write throw the libraries' errors; returns the exit status.
int compareWithConverter(const commandLine &line, const modelFile &file);
