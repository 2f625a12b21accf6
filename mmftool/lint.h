// Checks of what reads and converts but would hurt the recogniser: values that are not
// numbers, variances that are not positive, mixture weights that are negative or do not sum
// to 1, components that the counts promise and the file does not give, names given twice or
// missing, and a table that does not fit the set. Each finding names its place in the file.
#pragma once

#include <string>
#include <vector>

#include "export/modelFileReader.h"
#include "hmm/macroClass.h"
#include "mmftool/findings.h"

struct setLint {
    std::string path;
    bool binary = false;
    std::vector<long> modelAt;       // offset of each model's header
    std::vector<finding> findings;   // in file order

    finding at(long offset, const char *check, std::string message) const;
};

// The set as read from path (a text file unless binary). Throws mac2mod::error when a text
// file cannot be read again.
setLint lintSet(const hmmSet &set, const std::string &path, bool binary);

// The table as the converter reads it for this set: entries 1 .. modelNum - 1 in order, each
// a number and a name, matched to the models by name. Findings about models (no entry left
// for one) are added to lint; the table's own are returned, in file order. Throws
// mac2mod::error when the table cannot be opened.
std::vector<finding> lintTable(const hmmSet &set, const std::string &tablePath, setLint &lint);

// Values of a model file that are not numbers, and variances that are not positive.
std::vector<finding> lintModelFile(const modelFile &file, const std::string &path);

// Every finding of the set read from path (and of the table, when one is given), placed at
// their lines and columns: what `mmftool check` reports. Throws mac2mod::error when a file
// cannot be read again.
std::vector<finding> lintAll(const macroClass &set, const std::string &path, bool binary,
                             const char *tablePath);
