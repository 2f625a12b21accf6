#include "export/modelFileReader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "export/modelFileLayout.h"
#include "hmm/macroClass.h"
#include "utility/error.h"
#include "utility/byteOrder.h"
#include "utility/fileUtil.h"

namespace {

using mac2mod::formatted;

// The reader's side of the model file walk (modelFileLayout.h): takes each value, checks each
// count, and builds the records as it goes, so that a fault can be named by its field.
class modelFileParser {
public:
    modelFileParser(modelFile &file, size_t byteCount) : file_(file), byteCount_(byteCount) {}

    void parse()
    {
        int after = modelFileLayout::header(*this, file_.vecSize);
        for (int j = 1; j <= after; j++)
            modelFileLayout::record(*this, j, file_.vecSize);
        size_t end = 4 * pos_;
        if (end < byteCount_)
            fail(formatted("%zu byte%s follow%s the last model record, from byte %zu",
                           byteCount_ - end, byteCount_ - end == 1 ? "" : "s",
                           byteCount_ - end == 1 ? "s" : "", end), end);
    }

    // The value at pos_, which must be a whole number from lo to hi.
    int count(modelFileLayout::countField field, int lo, int hi)
    {
        if (field == modelFileLayout::mixtureCount)
            file_.records.back().states.push_back({pos_, 0});
        if (pos_ >= file_.values.size())
            endsBefore(pos_);
        float v = file_.values[pos_];
        if (!(v >= lo && v <= static_cast<double>(hi) && v == std::floor(v)))
            fail(file_.describe(pos_) +
                 formatted(" at byte %zu is %.9g, not a whole number from %d to %d", 4 * pos_, v, lo, hi),
                 4 * pos_);
        int value = static_cast<int>(v);
        if (field == modelFileLayout::mixtureCount)
            file_.records.back().states.back().mixtureNum = value;
        pos_++;
        return value;
    }

    void record(int) { file_.records.push_back({pos_, {}}); }

    void mixtures(int m, int vecSize)
    {
        size_t body = static_cast<size_t>(modelFileLayout::stateValues(m, vecSize) - 1);
        if (file_.values.size() - pos_ < body)
            endsBefore(file_.values.size());
        pos_ += body;
    }

private:
    [[noreturn]] void fail(const std::string &message, size_t byte)
    {
        throw mac2mod::error(message).at("", static_cast<long>(byte));   // the caller names the file
    }

    [[noreturn]] void endsBefore(size_t index)
    {
        fail(formatted("ends at byte %zu, before ", byteCount_) + file_.describe(index) +
             formatted(" at byte %zu", 4 * index), byteCount_);
    }

    modelFile &file_;
    size_t byteCount_;
    size_t pos_ = 0;
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
    // States as HTK numbers them (the first emitting one is 2), components from 1, as every
    // other message of the tools numbers them.
    if (r > 0)
        where += formatted(", state %d", static_cast<int>(after - record.states.begin()) + 1);
    size_t q = index - state.at;
    size_t m = static_cast<size_t>(state.mixtureNum);
    if (q == 0)
        return where + ", mixture count";
    if (q <= m)
        return where + formatted(", scaled weight of component %zu", q);
    if (q <= 2 * m)
        return where + formatted(", log weight of component %zu", q - m);
    size_t p = q - 1 - 2 * m;
    size_t v = static_cast<size_t>(vecSize);
    if (v == 0 || p / (2 * v) >= m)
        return where + ", after its last component";
    size_t k = p / (2 * v), w = p % (2 * v);
    return where + formatted(w < v ? ", mean[%zu] of component %zu" : ", variance[%zu] of component %zu",
                             w < v ? w : w - v, k + 1);
}

modelFile parseModelFile(const unsigned char *bytes, size_t size)
{
    modelFile file;
    file.values.resize(size / 4);
    for (size_t i = 0; i < file.values.size(); i++)
        file.values[i] = bitsFloat(getLE32(bytes + 4 * i));
    modelFileParser(file, size).parse();
    return file;
}

modelFile readModelFile(const char *path)
{
    uniqueFile stream(mac2mod::openFile(path, "rb"));
    std::vector<unsigned char> bytes;
    unsigned char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    if (std::ferror(stream.get()))
        throw mac2mod::error("cannot be read").at(path);
    try {
        return parseModelFile(bytes.data(), bytes.size());
    } catch (mac2mod::error &e) {
        throw e.at(path, e.offset());
    }
}
