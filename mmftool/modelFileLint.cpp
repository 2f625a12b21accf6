#include <cmath>

#include "mmftool/lint.h"

std::vector<finding> lintModelFile(const modelFile &file, const std::string &path)
{
    findingList found;
    // vector: the index of the first value of the vector that holds index, or -1.
    auto add = [&](size_t index, long vector, const char *check, const std::string &what) {
        finding f;
        f.file = path;
        f.offset = static_cast<long>(4 * index);
        f.binary = true;
        f.check = check;
        f.message = file.describe(index) + " is " + shownValue(file.values[index]) + what;
        found.add(std::move(f), vector);
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
                const long vector = q < weights ? -1 : static_cast<long>(index - (q - weights) % vecSize);
                const bool variance = q >= weights && (q - weights) % (2 * vecSize) >= vecSize;
                if (!std::isfinite(v))
                    add(index, vector, "not-finite", "");
                else if (variance && v <= 0)
                    add(index, vector, "variance-not-positive", ", not above 0");
            }
        }
    return found.take();
}
