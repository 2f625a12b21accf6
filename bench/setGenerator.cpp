#include "setGenerator.h"

#include <algorithm>
#include <cstdio>
#include <random>

std::vector<std::string> writeTextSet(const std::string &path, int modelNum, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    FILE *out = std::fopen(path.c_str(), "w");
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    std::fprintf(out, "~o\n<STREAMINFO> 1 24\n<VECSIZE> 24 <NULLD> <MFCC_0_D_A> <DIAGC>\n");
    std::vector<std::string> names;
    for (int m = 0; m < modelNum; m++) {
        names.push_back(m == 0 ? "sil" : "p" + std::to_string(m % 97) + "-q" + std::to_string(m) + "+r");
        std::fprintf(out, "~h \"%s\"\n<BEGINHMM>\n<NUMSTATES> 5\n", names.back().c_str());
        for (int i = 2; i <= 4; i++) {
            int mixtures = 8 + static_cast<int>(random() % 5);
            std::fprintf(out, "<STATE> %d\n<NUMMIXES> %d\n<SWEIGHTS> 1\n %e\n", i, mixtures, 1.0);
            for (int k = 1; k <= mixtures; k++) {
                std::fprintf(out, "<MIXTURE> %d %e\n<MEAN> 24\n", k, 1.0 / mixtures);
                for (int v = 0; v < 24; v++)
                    std::fprintf(out, " %e", value(random));
                std::fprintf(out, "\n<VARIANCE> 24\n");
                for (int v = 0; v < 24; v++)
                    std::fprintf(out, " %e", 0.1 + std::abs(value(random)));
                std::fprintf(out, "\n<GCONST> %e\n", value(random) * 10);
            }
        }
        std::fprintf(out, "<TRANSP> 5\n");
        const double rows[5][5] = {{0, 1, 0, 0, 0}, {0, .6, .4, 0, 0}, {0, 0, .7, .3, 0}, {0, 0, 0, .6, .4}, {0, 0, 0, 0, 0}};
        for (const auto &row : rows)
            std::fprintf(out, " %e %e %e %e %e\n", row[0], row[1], row[2], row[3], row[4]);
        std::fprintf(out, "<ENDHMM>\n");
    }
    std::fclose(out);
    return names;
}

void writeNameTable(const std::string &path, const std::vector<std::string> &names, bool shuffled)
{
    std::vector<std::string> entries(names.begin() + 1, names.end());
    if (shuffled)
        std::shuffle(entries.begin(), entries.end(), std::mt19937(7));
    FILE *out = std::fopen(path.c_str(), "w");
    for (size_t k = 0; k < entries.size(); k++)
        std::fprintf(out, "%zu %s\n", k + 1, entries[k].c_str());
    std::fclose(out);
}
