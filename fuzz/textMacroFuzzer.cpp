// One text macro file per input, read three times: in order on this thread, in two or three
// pieces side by side, and in order with an observer. The reads must agree: the same set, or
// the same refusal at the same place. An accepted set must keep every count inside its
// capacity, and what the observer was told must be what the set holds.
#include <cstring>

#include "fuzzSupport.h"
#include "hmm/textMacroReader.h"

namespace {

outcome readText(macroClass &set, const std::string &path, int pieces, fieldObserver *observer = nullptr)
{
    return runGuarded([&] { readTextMacroFile(set.MMF, path.c_str(), pieces, observer); });
}

bool sameSet(const hmmSet &a, const hmmSet &b)
{
    return a.modelNum == b.modelNum && a.streamNum == b.streamNum &&
           std::memcmp(a.vecSize, b.vecSize, sizeof a.vecSize) == 0 &&
           std::strcmp(a.globalOption, b.globalOption) == 0 &&
           (a.modelNum == 0 ||
            std::memcmp(a.model, b.model, static_cast<size_t>(a.modelNum) * sizeof(hmmModel)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = fuzzPath("set.mac");
    inputGuard guard;
    writeInput(path, data, size);
    {
        macroClass inOrder, inPieces, watched;
        outcome one = readText(inOrder, path, 1);
        // Fewer than two models are read in one piece anyway: the second read would repeat
        // the first. Three pieces give a piece that must end where the next one starts.
        outcome two = inOrder.MMF.modelNum < 2 ? one : readText(inPieces, path, 2 + size % 2);
        checkingObserver seen;
        if (!sameOutcome(one, two) || !sameOutcome(one, readText(watched, path, 0, &seen)))
            std::abort();
        if (one.completed) {
            checkSetCapacities(inOrder.MMF);
            if (inOrder.MMF.modelNum >= 2 && !sameSet(inOrder.MMF, inPieces.MMF))
                std::abort();
            if (!sameSet(inOrder.MMF, watched.MMF))
                std::abort();
            seen.check(watched.MMF, data, size, false);
        }
    }
    guard.checkNothingLeft({"set.mac"});
    return 0;
}
