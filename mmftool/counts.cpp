#include <cstdio>

#include "mmftool/command.h"

void printCounts(const char *title, const std::map<int, int> &counts, const char *unit)
{
    std::printf("%s:\n", title);
    for (auto [value, number] : counts)
        std::printf("  %d %s%s: %d\n", value, unit, value == 1 ? "" : "s", number);
}
