#include "export/modelFileReader.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cmath>
#include <cstdio>

#include "hmm/macroClass.h"
#include "utility/byteOrder.h"
#include "utility/fileUtil.h"

namespace {

std::string formatted(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char *format, ...)
{
    char text[200];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Walks the values in the order the writer puts them, building the records as it goes, so
// that a fault can be named by the field it stands in.
class modelFileParser {
public:
    modelFileParser(modelFile &file, size_t byteCount) : file_(file), byteCount_(byteCount) {}

    bool parse()
    {
        int modelsAfterSil = 0;
        if (!count(0, INT_MAX - 1, modelsAfterSil) || !count(1, MAX_PARAM_NUM, file_.vecSize))
            return false;
        file_.records.push_back({pos_, {}});
        if (!state())
            return false;
        for (int j = 1; j <= modelsAfterSil; j++) {
            file_.records.push_back({pos_, {}});
            int stateNum = 0;
            if (!count(0, MAX_STATE_NUM - 2, stateNum))
                return false;
            for (int e = 0; e < stateNum; e++)
                if (!state())
                    return false;
        }
        size_t end = 4 * pos_;
        if (end < byteCount_)
            return fail(formatted("%zu byte%s follow%s the last model record, from byte %zu",
                                  byteCount_ - end, byteCount_ - end == 1 ? "" : "s",
                                  byteCount_ - end == 1 ? "s" : "", end));
        return true;
    }

    const std::string &error() const { return error_; }

private:
    bool fail(std::string message)
    {
        error_ = std::move(message);
        return false;
    }

    bool endsBefore(size_t index)
    {
        return fail(formatted("ends at byte %zu, before ", byteCount_) + file_.describe(index) +
                    formatted(" at byte %zu", 4 * index));
    }

    // The value at pos_, which must be a whole number from lo to hi.
    bool count(int lo, int hi, int &value)
    {
        if (pos_ >= file_.values.size())
            return endsBefore(pos_);
        float v = file_.values[pos_];
        if (!(v >= lo && v <= static_cast<double>(hi) && v == std::floor(v)))
            return fail(file_.describe(pos_) +
                        formatted(" at byte %zu is %.9g, not a whole number from %d to %d",
                                  4 * pos_, v, lo, hi));
        value = static_cast<int>(v);
        pos_++;
        return true;
    }

    // One state block of the record last pushed: its mixture count, then per mixture two
    // weights and 2V values.
    bool state()
    {
        auto &states = file_.records.back().states;
        states.push_back({pos_, 0});
        if (!count(0, MAX_MIXTURE_NUM, states.back().mixtureNum))
            return false;
        size_t body = static_cast<size_t>(states.back().mixtureNum) * (2 + 2 * file_.vecSize);
        if (file_.values.size() - pos_ < body)
            return endsBefore(file_.values.size());
        pos_ += body;
        return true;
    }

    modelFile &file_;
    size_t byteCount_;
    size_t pos_ = 0;
    std::string error_;
};

}  // namespace

float modelFile::scaledWeight(const modelFileState &state, int k) const
{
    return values[state.at + 1 + k];
}

float modelFile::logWeight(const modelFileState &state, int k) const
{
    return values[state.at + 1 + state.mixtureNum + k];
}

float modelFile::mean(const modelFileState &state, int k, int v) const
{
    return values[state.at + 1 + 2 * state.mixtureNum + 2 * vecSize * k + v];
}

float modelFile::variance(const modelFileState &state, int k, int v) const
{
    return mean(state, k, vecSize + v);
}

int modelFile::recordOf(size_t index) const
{
    auto after = std::upper_bound(records.begin(), records.end(), index,
                                  [](size_t i, const modelFileRecord &r) { return i < r.at; });
    return after == records.begin() ? -1 : static_cast<int>(after - records.begin()) - 1;
}

std::string modelFile::describe(size_t index) const
{
    int r = recordOf(index);
    if (r < 0)
        return index == 0 ? "the count of models after sil" : "the vector size";
    const modelFileRecord &record = records[r];
    std::string where = r == 0 ? "the sil record" : formatted("model record %d", r);
    if (r > 0 && index == record.at)
        return where + ", state count";
    auto after = std::upper_bound(record.states.begin(), record.states.end(), index,
                                  [](size_t i, const modelFileState &s) { return i < s.at; });
    if (after == record.states.begin())
        return where;
    const modelFileState &state = after[-1];
    if (r > 0)
        where += formatted(", state %d", static_cast<int>(after - record.states.begin()) - 1);
    size_t q = index - state.at;
    size_t m = static_cast<size_t>(state.mixtureNum);
    if (q == 0)
        return where + ", mixture count";
    if (q <= m)
        return where + formatted(", scaled weight of mixture %zu", q - 1);
    if (q <= 2 * m)
        return where + formatted(", log weight of mixture %zu", q - 1 - m);
    size_t p = q - 1 - 2 * m;
    size_t v = static_cast<size_t>(vecSize);
    if (v == 0 || p / (2 * v) >= m)
        return where + ", after its last mixture";
    size_t k = p / (2 * v), w = p % (2 * v);
    return where + formatted(w < v ? ", mean[%zu] of mixture %zu" : ", variance[%zu] of mixture %zu",
                             w < v ? w : w - v, k);
}

bool readModelFile(const char *path, modelFile &file, std::string &error)
{
    uniqueFile stream(fileOpen(path, "rb"));
    std::vector<unsigned char> bytes;
    unsigned char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    if (std::ferror(stream.get())) {
        error = "cannot be read";
        return false;
    }
    file = modelFile();
    file.values.resize(bytes.size() / 4);
    for (size_t i = 0; i < file.values.size(); i++)
        file.values[i] = bitsFloat(getLE32(bytes.data() + 4 * i));
    modelFileParser parser(file, bytes.size());
    if (parser.parse())
        return true;
    error = parser.error();
    return false;
}
