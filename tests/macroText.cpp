#include "macroText.h"

#include <cstdio>

namespace macroText {

namespace {
std::string format(const char *fmt, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, value);
    return buf;
}
}  // namespace

std::string header(const std::vector<int> &vecSizes)
{
    std::string text = "~o\n<STREAMINFO> " + std::to_string(vecSizes.size());
    int total = 0;
    for (int size : vecSizes) {
        text += " " + std::to_string(size);
        total += size;
    }
    return text + "\n<VECSIZE> " + std::to_string(total) + " <NULLD> <MFCC_E_D_A> <DIAGC>\n";
}

std::string values(float base, int n)
{
    std::string text;
    for (int v = 0; v < n; v++)
        text += format(" %e", base + v);
    return text + "\n";
}

std::string gaussian(float base, int n)
{
    return "<MEAN> 24\n" + values(base, n) + "<VARIANCE> 24\n" + values(base + 0.5f, n) +
           "<GCONST>" + format(" %e", base * 10) + "\n";
}

std::string stateHead(int stateId, const std::vector<int> &mixtureNums, bool always)
{
    std::string text = "<STATE> " + std::to_string(stateId) + "\n";
    bool single = true;
    for (int count : mixtureNums)
        single = single && count == 1;
    if (always || !single) {
        text += "<NUMMIXES>";
        for (int count : mixtureNums)
            text += " " + std::to_string(count);
        text += "\n";
    }
    text += "<SWEIGHTS> " + std::to_string(mixtureNums.size()) + "\n";
    for (size_t s = 0; s < mixtureNums.size(); s++)
        text += format(" %e", 1.0 / (s + 1));
    return text + "\n";
}

std::string components(int count, float base, int n)
{
    if (count == 1)
        return gaussian(base, n);
    std::string text;
    for (int k = 1; k <= count; k++)
        text += "<MIXTURE> " + std::to_string(k) + format(" %e\n", 1.0 / count) + gaussian(base + 100 * k, n);
    return text;
}

std::string transP(int stateNum)
{
    std::string text = "<TRANSP> " + std::to_string(stateNum) + "\n";
    for (int r = 0; r < stateNum; r++) {
        for (int c = 0; c < stateNum; c++) {
            double p = 0;
            if (r == 0)
                p = c == 1 ? 1.0 : 0.0;
            else if (r < stateNum - 1)
                p = c == r ? 0.75 : (c == r + 1 ? 0.25 : 0.0);
            text += format(" %e", p);
        }
        text += "\n";
    }
    return text;
}

std::string model(const std::string &name, int stateNum, int mixtures, float base)
{
    std::string text = "~h \"" + name + "\"\n<BEGINHMM>\n<NUMSTATES> " + std::to_string(stateNum) + "\n";
    for (int i = 2; i < stateNum; i++)
        text += stateHead(i, {mixtures}) + components(mixtures, base + 1000 * i);
    return text + transP(stateNum) + "<ENDHMM>\n";
}

}  // namespace macroText
