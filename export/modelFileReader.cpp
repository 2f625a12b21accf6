#include "export/modelFileReader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "export/modelFileLayout.h"
#include "export/nameTable.h"
#include "hmm/macroClass.h"
#include "hmm/setLimits.h"
#include "utility/error.h"
#include "utility/byteOrder.h"
#include "utility/fileUtil.h"

namespace {

using mac2mod::formatted;

// What a value index holds, as its owner ("record 2 (\"a\"), state 3", "" for the header)
// and its field ("the component count", "mean[3]").
struct valuePlace {
    std::string owner, field;
};

valuePlace placeOf(const modelFile &file, size_t index)
{
    int r = file.recordOf(index);
    if (r < 0)
        return {"", index == 0 ? "the count of models after sil" : "the vector size"};
    const modelFileRecord &record = file.records[r];
    std::string owner = file.recordName(r);
    if (r > 0 && index == record.at)
        return {owner, "the count of emitting states"};
    auto after = std::upper_bound(record.states.begin(), record.states.end(), index,
                                  [](size_t i, const modelFileState &s) { return i < s.at; });
    if (after == record.states.begin())
        return {owner, "before its first state"};
    const modelFileState &state = after[-1];
    owner += formatted(", state %d", static_cast<int>(after - record.states.begin()) + 1);
    size_t q = index - state.at;
    size_t m = static_cast<size_t>(state.mixtureNum);
    if (q == 0)
        return {owner, "the component count"};
    if (q <= 2 * m)
        return {owner + formatted(", component %zu", q <= m ? q : q - m),
                q <= m ? "the scaled weight" : "the log weight"};
    size_t p = q - 1 - 2 * m;
    size_t v = static_cast<size_t>(file.vecSize);
    if (v == 0 || p / (2 * v) >= m)
        return {owner, "after its last component"};
    size_t w = p % (2 * v);
    return {owner + formatted(", component %zu", p / (2 * v) + 1),
            formatted(w < v ? "mean[%zu]" : "variance[%zu]", w < v ? w : w - v)};
}

// The reader's side of the model file walk (modelFileLayout.h): takes each value, checks each
// count, and builds the records as it goes, so that a fault can be named by its field.
class modelFileParser {
public:
    modelFileParser(modelFile &file, size_t byteCount, const char *table)
        : file_(file), byteCount_(byteCount), table_(table) {}

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
            refuse(field, v, lo, hi);
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

    // A whole count past what the set holds is worded as every other message words that
    // capacity; anything else as the value it is.
    [[noreturn]] void refuse(modelFileLayout::countField field, float v, int lo, int hi)
    {
        nameRecords();
        const size_t byte = 4 * pos_;
        const std::string at = formatted(" at byte %zu", byte);
        const bool whole = v == std::floor(v) && std::fabs(v) < 1e9f;
        const long n = whole ? static_cast<long>(v) : 0;
        if (whole && field == modelFileLayout::vectorSize)
            fail(capacityExceeded(capacity::vectorSize, "the model file's header" + at, n), byte);
        const std::string owner = placeOf(file_, pos_).owner + at;
        if (whole && v > hi && field == modelFileLayout::stateCount)
            fail(capacityExceeded(capacity::states, owner, n + 2), byte);   // entry and exit added
        if (whole && v > hi && field == modelFileLayout::mixtureCount)
            fail(capacityExceeded(capacity::mixtures, owner, n), byte);
        fail(file_.describe(pos_) + at + formatted(" is %.9g, not a whole number from %d to %d", v, lo, hi), byte);
    }

    [[noreturn]] void endsBefore(size_t index)
    {
        nameRecords();
        fail(formatted("ends at byte %zu, before ", byteCount_) + file_.describe(index) +
             formatted(" at byte %zu", 4 * index), byteCount_);
    }

    // The names of the records begun so far, for a message: a table that does not read
    // leaves them numbered, as the fault is the file's.
    void nameRecords()
    {
        if (!table_ || file_.records.empty())
            return;
        try {
            file_.names = readNameTable(table_, file_.modelNum());
        } catch (const mac2mod::error &) {
        }
    }

    modelFile &file_;
    size_t byteCount_;
    const char *table_;
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

std::string modelFile::recordName(int r) const
{
    if (r == 0)
        return "record 0 (\"sil\")";
    if (static_cast<size_t>(r) < names.size())
        return formatted("record %d (\"%s\")", r, names[r].c_str());
    return formatted("record %d", r);
}

std::string modelFile::describe(size_t index) const
{
    valuePlace place = placeOf(*this, index);
    return place.owner.empty() ? place.field : place.owner + ": " + place.field;
}

modelFile parseModelFile(const unsigned char *bytes, size_t size, const char *table)
{
    modelFile file;
    file.values.resize(size / 4);
    for (size_t i = 0; i < file.values.size(); i++)
        file.values[i] = bitsFloat(getLE32(bytes + 4 * i));
    modelFileParser(file, size, table).parse();
    if (table)
        file.names = readNameTable(table, file.modelNum());
    return file;
}

modelFile readModelFile(const char *path, const char *table)
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
        return parseModelFile(bytes.data(), bytes.size(), table);
    } catch (mac2mod::error &e) {
        throw e.at(path, e.offset());   // a table's own error names the table already
    }
}
