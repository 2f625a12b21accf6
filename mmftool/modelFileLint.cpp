#include <cmath>

#include "mmftool/lint.h"

std::vector<finding> lintModelFile(const modelFile &file, const std::string &path)
{
    std::vector<finding> findings;
    auto add = [&](size_t index, const char *check, std::string message) {
        finding f;
        f.file = path;
        f.offset = static_cast<long>(4 * index);
        f.binary = true;
        f.check = check;
        f.message = file.describe(index) + message;
        findings.push_back(std::move(f));
    };
    const size_t vecSize = static_cast<size_t>(file.vecSize);
    for (const modelFileRecord &record : file.records)
        for (const modelFileState &state : record.states) {
            // After the mixture count: the scaled and the log weights, then per mixture the
            // means and the variances.
            const size_t weights = 2 * static_cast<size_t>(state.mixtureNum);
            const size_t body = weights + 2 * vecSize * state.mixtureNum;
            for (size_t q = 0; q < body; q++) {
                const size_t index = state.at + 1 + q;
                const float v = file.values[index];
                if (!std::isfinite(v))
                    add(index, "not-finite", formatted(" is %g", v));
                else if (q >= weights && (q - weights) % (2 * vecSize) >= vecSize && v <= 0)
                    add(index, "variance-not-positive", formatted(" is %.9g, not above 0", v));
            }
        }
    return findings;
}
