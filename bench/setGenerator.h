// Model sets of a realistic shape for benchmarks: one stream of 24 values, three emitting
// states, 8 to 12 mixtures each, every number in %e form.
#pragma once

#include <string>
#include <vector>

// Writes modelNum models ("sil" first) to a text macro file; returns their names.
std::vector<std::string> writeTextSet(const std::string &path, int modelNum, unsigned seed = 1);
// ModelNames.txt for the names (sil left out), in set order or shuffled.
void writeNameTable(const std::string &path, const std::vector<std::string> &names, bool shuffled);
