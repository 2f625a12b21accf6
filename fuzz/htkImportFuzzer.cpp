// HTK model files through the import: the input is one file, or several separated by the
// line below (loaded in that order); each may be text or binary. An accepted set must keep
// every count inside its capacity and must come back unchanged, float for float, from the
// binary macro file (its exit row aside) and (vectors of 24 values) from the exact text form; a refused one must
// leave the set empty. Nothing may stay open or be left behind.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzSupport.h"
#include "hmm/setIO.h"
#include "htk/exactTextMacro.h"
#include "htk/htkImport.h"

namespace {

constexpr std::string_view SEPARATOR = "\n--- next file ---\n";
constexpr int MOST_FILES = 4;

// 32-bit words equal, or both a NaN (the text form keeps no NaN payload).
bool sameWords(const void *a, const void *b, size_t size)
{
    const unsigned char *p = static_cast<const unsigned char *>(a);
    const unsigned char *q = static_cast<const unsigned char *>(b);
    for (size_t k = 0; k + 4 <= size; k += 4) {
        if (std::memcmp(p + k, q + k, 4) == 0)
            continue;
        float x, y;
        std::memcpy(&x, p + k, 4);
        std::memcpy(&y, q + k, 4);
        if (!(std::isnan(x) && std::isnan(y)))
            return false;
    }
    return true;
}

// withExitRow false: the binary macro file keeps the first N x N entries of the 5 x 5 matrix
// run, which for N < 5 leave out the exit row (which HTK ignores, and writes as zeros).
bool sameSet(const hmmSet &a, const hmmSet &b, bool withExitRow)
{
    if (a.modelNum != b.modelNum || a.streamNum != b.streamNum ||
        std::memcmp(a.vecSize, b.vecSize, sizeof a.vecSize) != 0)
        return false;
    for (int m = 0; m < a.modelNum; m++) {
        const hmmModel &x = a.model[m], &y = b.model[m];
        if (std::memcmp(x.str, y.str, sizeof x.str) != 0 || x.stateNum != y.stateNum ||
            !sameWords(x.state, y.state, sizeof x.state))
            return false;
        const int rows = withExitRow || x.stateNum == MAX_STATE_NUM ? x.stateNum : x.stateNum - 1;
        for (int r = 0; r < rows; r++)
            if (!sameWords(x.transProb[r], y.transProb[r], sizeof(float) * x.stateNum))
                return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string names[MOST_FILES] = {"f0", "f1", "f2", "f3"};
    static const std::string binaryPath = fuzzPath("set.macb");
    static const std::string textPath = fuzzPath("set.mac");
    inputGuard guard;
    std::string_view input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> paths;
    while (static_cast<int>(paths.size()) < MOST_FILES) {
        size_t cut = static_cast<int>(paths.size()) + 1 < MOST_FILES ? input.find(SEPARATOR) : input.npos;
        std::string_view piece = input.substr(0, cut);
        paths.push_back(fuzzPath(names[paths.size()].c_str()));
        writeInput(paths.back(), reinterpret_cast<const uint8_t *>(piece.data()), piece.size());
        if (cut == input.npos)
            break;
        input.remove_prefix(cut + SEPARATOR.size());
    }
    {
        macroClass set;
        bool accepted = true;
        try {
            mac2mod::importHtk(set, paths);
        } catch (const mac2mod::error &e) {
            accepted = false;
            if (set.MMF.model || set.MMF.modelNum || e.message().empty() || e.status() == 0)
                std::abort();
        }
        if (accepted) {
            checkSetCapacities(set.MMF);
            for (int m = 0; m < set.MMF.modelNum; m++)
                for (int e = 0; e < set.MMF.model[m].stateNum - 2; e++)
                    for (int s = 0; s < set.MMF.streamNum; s++)
                        if (set.MMF.model[m].state[e].stream[s].mixtureNum < 1)
                            std::abort();   // a stream without a component
            if (!runGuarded([&] { mac2mod::writeSet(set, binaryPath); }).completed)
                std::abort();
            {
                macroClass back;
                if (!runGuarded([&] { mac2mod::readSet(back, binaryPath); }).completed || !sameSet(set.MMF, back.MMF, false))
                    std::abort();
            }
            std::remove(binaryPath.c_str());
            bool text = true;
            for (int s = 0; s < set.MMF.streamNum; s++)
                text = text && set.MMF.vecSize[s] == MAX_PARAM_NUM;
            // The text form quotes names without escapes and finds models by their lines.
            for (int m = 0; m < set.MMF.modelNum; m++)
                text = text && !std::strpbrk(set.MMF.model[m].str, "\"\n");
            if (text) {
                try {
                    mac2mod::writeExactTextMacro(set, textPath);
                } catch (const mac2mod::error &) {
                    std::abort();
                }
                macroClass back;
                if (!runGuarded([&] { mac2mod::readSet(back, textPath); }).completed || !sameSet(set.MMF, back.MMF, true))
                    std::abort();
                std::remove(textPath.c_str());
            }
        }
    }
    guard.checkNothingLeft({"f0", "f1", "f2", "f3"});
    return 0;
}
