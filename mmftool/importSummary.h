// The summary of an HTK import as import and check print it: what was read and resolved.
#pragma once

#include <nlohmann/json.hpp>

#include "htk/htkSummary.h"

void printImportSummary(const mac2mod::htkImportSummary &summary, const macroClass &set);
// The same as JSON, for check --json.
nlohmann::ordered_json importSummaryJson(const mac2mod::htkImportSummary &summary, const macroClass &set);
