// What mmftool check shows of a set that reads: its sizes, how many models have each number
// of states and streams each number of components, and the names given to several models.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "hmm/macroClass.h"

struct setSummary {
    std::string path;
    bool binary = false;
    int modelNum = 0;
    std::vector<int> vecSizes;   // one per stream
    std::string globalOption;
    std::map<int, int> byStates, byComponents;
    std::map<std::string, std::vector<int>> duplicates;   // name: its models, ascending
};

setSummary summarise(const std::string &path, bool binary, macroClass &set);
void printSummary(const setSummary &summary);
nlohmann::ordered_json summaryJson(const setSummary &summary);
