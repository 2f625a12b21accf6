// Checks of what reads and converts but would hurt the recogniser: values that are not
// numbers, variances that are not positive, mixture weights that are negative or do not sum
// to 1, components that the counts promise and the file does not give, names given twice or
// missing, and a table that does not fit the set. Each finding names its place in the file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "export/modelFileReader.h"
#include "hmm/fieldObserver.h"
#include "hmm/macroClass.h"
#include "htk/htkObserver.h"
#include "mmftool/findings.h"

struct setLint {
    std::string path;
    bool binary = false;
    std::vector<long> modelAt;       // offset of each model's header
    lineIndex lines;                 // of a text file, as its reader passed them
    std::vector<finding> findings;   // in file order

    finding at(long offset, const char *check, std::string message) const;
};

// The checks of a set, made while it is read: give the watch to mac2mod::readSet as its
// observer, and take the lint once the read is done. The set in memory keeps no places; the
// reader tells them as it goes.
class setWatch : public fieldObserver {
public:
    virtual setLint finish() = 0;
};
// set: the one the read fills; path: its file (a text file unless binary).
std::unique_ptr<setWatch> watchSet(const hmmSet &set, const std::string &path, bool binary);

// The same checks of HTK model files, made while the import reads them: give the watch to
// mac2mod::importHtk as its observer, and take the findings of the set it filled once it is
// done, placed in the HTK files (a shared value at its macro's definition).
class htkWatch : public mac2mod::htkObserver {
public:
    virtual std::vector<finding> finish(const hmmSet &set) = 0;
};
// paths: the files as the import is given them.
std::unique_ptr<htkWatch> watchHtk(const std::vector<std::string> &paths);

// The table as the converter reads it for this set: entries 1 .. modelNum - 1 in order, each
// a number and a name, matched to the models by name. Findings about models (no entry left
// for one) are added to lint; the table's own are returned, in file order and placed in its
// lines. Throws mac2mod::error when the table cannot be opened.
std::vector<finding> lintTable(const hmmSet &set, const std::string &tablePath, setLint &lint);

// Values of a model file that are not numbers, and variances that are not positive.
std::vector<finding> lintModelFile(const modelFile &file, const std::string &path);

// Every finding of the set whose read was watched (and of the table, when one is given),
// placed at their lines and columns: what `mmftool check` reports.
std::vector<finding> lintAll(const hmmSet &set, setLint lint, const char *tablePath);
// The same for a set read without a watch: its file is read again for the places, and the
// values checked are those the set holds now. Throws mac2mod::error when the file cannot be
// read, or no longer holds a set of the same models, states and components.
std::vector<finding> lintAll(const macroClass &set, const std::string &path, bool binary,
                             const char *tablePath);
