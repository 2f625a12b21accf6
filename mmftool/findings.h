// What mmftool's checks find in a file that reads: warnings, each placed in its file as a
// compiler places them, and the same as JSON.
//
//   set.mac:12:7: warning: model 0 ("sil"), state 2, stream 1, component 1: variance[3] is -1
//   set.macb: byte 1234: warning: ...
//   set.mac: warning: no model is named "sil"
#pragma once

#include "utility/error.h"

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

struct finding {
    std::string file;
    long offset = -1;    // from the file's start; -1: the file as a whole
    bool binary = false; // the place is shown as a byte offset, not as line and column
    int line = 0;        // from 1, filled by lineIndex::place for a text file
    int column = 0;      // from 1, in bytes
    std::string check;   // a short name of what was checked, e.g. "variance-not-positive"
    std::string message;
};

// Findings as they are met. Of the values of one vector (a mean, a variance) only the first
// that fails a check is reported, with how many more of the vector fail it too.
class findingList {
public:
    // vector: what identifies the vector the value belongs to, or -1 for a value of its own.
    void add(finding f, long vector = -1);
    std::vector<finding> take();

private:
    void close();

    std::vector<finding> findings_;
    long vector_ = -1;   // of the last finding
    int more_ = 0;
};

// A value as the messages show it: "%.9g", and a NaN of either sign as "nan".
std::string shownValue(float value);

// printf into a std::string.
using mac2mod::formatted;

// Where the lines of a text file end, learnt from its reader as it passed them, so that
// findings get their lines and columns without the file being read again.
class lineIndex {
public:
    // The file's next bytes, in order.
    void add(const char *bytes, size_t n);
    // Fills line and column of the placed findings of the text file path.
    void place(std::vector<finding> &findings, const std::string &path) const;

private:
    std::vector<long> ends_;   // offsets of the line ends
    long size_ = 0;            // bytes added so far
};
// The findings of one file in file order, those of the file as a whole last.
void sortFindings(std::vector<finding> &findings);
void printFindings(const std::vector<finding> &findings);
nlohmann::ordered_json findingsJson(const std::vector<finding> &findings);
