// One binary macro file per input. An accepted set must keep every count inside its
// capacity, and writing it back must give the bytes the reader took, in the same order. A
// read with an observer must end as the plain one, and tell each value at its bytes.
#include <cstdio>

#include "fuzzSupport.h"
#include "hmm/setIO.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = fuzzPath("set.macb");
    static const std::string copyPath = fuzzPath("copy.macb");
    inputGuard guard;
    writeInput(path, data, size);
    {
        macroClass set, watched;
        checkingObserver seen;
        outcome plain = runGuarded([&] { mac2mod::readSet(set, path); });
        outcome observed = runGuarded([&] { mac2mod::readSet(watched, path, &seen); });
        if (!sameOutcome(plain, observed))
            std::abort();
        if (plain.completed) {
            checkSetCapacities(set.MMF);
            seen.check(watched.MMF, data, size, true);
            if (!runGuarded([&] { mac2mod::writeSet(set, copyPath); }).completed)
                std::abort();
            std::string copy = readWhole(copyPath);
            // A file may go on after its last model; the reader does not look there.
            if (copy.size() > size || copy.compare(0, copy.size(), reinterpret_cast<const char *>(data), copy.size()) != 0)
                std::abort();
            std::remove(copyPath.c_str());
        }
    }
    guard.checkNothingLeft({"set.macb"});
    return 0;
}
