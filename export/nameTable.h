// ModelNames.txt: the order of the models in the model file, one entry per model after
// "sil", each a number (not used) and a name:
//
//   1 a-b+c
//   2 a-b+d
//   7 sil-a+b
#pragma once

#include <string>
#include <vector>

// Entry 0 is "sil"; entries 1 .. modelNum - 1 are read from the file in order. An entry that
// cannot be read repeats the name before it (an empty name for the first).
std::vector<std::string> readNameTable(const char *path, int modelNum);

// For each table entry, the index of the model written in its place: each model takes the
// first table entry of its name that no earlier model took. A model left without an entry
// is refused with "can not find model name" and status -1.
std::vector<int> matchModels(const std::vector<std::string> &nameTable,
                             const std::vector<const char *> &modelNames);
