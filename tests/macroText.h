// Text macro files for tests, built piece by piece so that a test can break one piece.
#pragma once

#include <string>
#include <vector>

namespace macroText {

// "~o", <STREAMINFO> with one size per stream, and a global option line.
std::string header(const std::vector<int> &vecSizes = {24});
// " %e" for each of n values base, base + 1, ..., then a line end.
std::string values(float base, int n = 24);
// <MEAN>, <VARIANCE> and <GCONST> of a component whose values start at base.
std::string gaussian(float base, int n = 24);
// <NUMMIXES> (when any count is not 1 or always is set), <SWEIGHTS> and the weights.
std::string stateHead(int stateId, const std::vector<int> &mixtureNums, bool always = true);
// One stream's components: <MIXTURE> k weight before each when count > 1.
std::string components(int count, float base, int n = 24);
// A transition matrix of stateNum states: each emitting state moves on with 0.25.
std::string transP(int stateNum);
// A whole one-stream model: stateNum states, mixtures components in each emitting state.
std::string model(const std::string &name, int stateNum = 5, int mixtures = 2, float base = 1.0f);

}  // namespace macroText
