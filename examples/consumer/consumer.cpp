// Reads sets through the throwing interface: a malformed text set and a short binary set are
// caught with their status, message and place, and the good set is read after them in the
// same process, on two threads at once.
//
//   consumer good.mac bad.mac short.macb
#include <cstdio>
#include <thread>

#include "hmm/setIO.h"

namespace {

int readAll(const char *good, const char *bad, const char *cut)
{
    int faults = 0;
    for (const char *path : {bad, cut}) {
        macroClass set;
        try {
            mac2mod::readSet(set, path);
            std::printf("%s: read, but it should not\n", path);
            faults++;
        } catch (const mac2mod::error &e) {
            std::printf("%s: status %d, line %d, column %d, byte %ld: %s", e.file().c_str(), e.status(),
                        e.line(), e.column(), e.offset(), e.message().c_str());
        }
    }
    macroClass set;
    mac2mod::readSet(set, good);
    std::printf("%s: %d models\n", good, set.MMF.modelNum);
    return faults;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: consumer good.mac bad.mac short.macb\n");
        return 2;
    }
    int faults[2] = {0, 0};
    std::thread other([&] { faults[1] = readAll(argv[1], argv[2], argv[3]); });
    faults[0] = readAll(argv[1], argv[2], argv[3]);
    other.join();
    return faults[0] + faults[1] == 0 ? 0 : 1;
}
