// ModelNames.txt: the order of the models in the model file, one entry per model after
// "sil", each a number (not used) and a name:
//
//   1 a-b+c
//   2 a-b+d
//   7 sil-a+b
#pragma once

#include <string>
#include <vector>

#include "hmm/fieldObserver.h"

class macroScanner;

// What the table reader tells besides the table, for a check that reads nothing itself.
class tableObserver : public byteObserver {
public:
    // Entry k (from 1) as read: its name, whole however long; where it stands (its name, or,
    // when it did not read, what stood where its number should be); whether it read.
    virtual void entry(int k, const std::string &name, long offset, bool read) = 0;
    // After the entries that are read: what follows them, from scan's position on.
    virtual void after(macroScanner &scan) = 0;
};

// Entry 0 is "sil"; entries 1 .. modelNum - 1 are read from the file in order. An entry that
// cannot be read repeats the name before it (an empty name for the first). offsets, when
// given, receives where each entry's name begins, -1 for "sil" and for one not read.
std::vector<std::string> readNameTable(const char *path, int modelNum,
                                       std::vector<long> *offsets = nullptr,
                                       tableObserver *observer = nullptr);

// The models and the table paired through a window of entries [lo, hi], at first the whole
// table: each model in set order takes the first entry of its name from lo to hi; an entry
// taken at either end of the window leaves it, one taken inside stays, so a second model of
// that name takes it over. In table order every model is found at lo at once.
struct tableMatch {
    std::vector<int> entryModel;           // per entry the model written there, -1 for none
    std::vector<int> modelsWithoutEntry;   // in set order
};
tableMatch matchTable(const std::vector<std::string> &nameTable,
                      const std::vector<const char *> &modelNames);

// For each table entry, the index of the model written in its place (matchTable), or -1. A
// model left without an entry is refused with "can not find model name" and status -1.
std::vector<int> matchModels(const std::vector<std::string> &nameTable,
                             const std::vector<const char *> &modelNames);
