#include "hmm/binaryMacro.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hmm/fieldObserver.h"
#include "hmm/modelArray.h"
#include "hmm/setLimits.h"
#include "utility/byteOrder.h"
#include "utility/error.h"
#include "utility/outputFile.h"

namespace {

using mac2mod::errorf;

constexpr int MIXTURE_FLOATS = 2 + 2 * MAX_PARAM_NUM;   // weight, means, variances, gconst
constexpr int LONGEST_RUN = MAX_MIXTURE_NUM * MIXTURE_FLOATS;
static_assert(MAX_STATE_NUM * MAX_STATE_NUM <= LONGEST_RUN && MAX_STREAM_NUM <= LONGEST_RUN,
              "every run of floats fits the block buffer");
// The smallest model block: name, stateNum 2, no emitting state, a 2 x 2 transition run.
constexpr long MIN_MODEL_BYTES = MAX_NAME_LEN + 4 + 4 * 2 * 2;
constexpr int NO_MODEL = -1;

// The reader's refusals. A malformed file is refused with status 1; a file that cannot be
// read at all with -1, like one that cannot be opened.

mac2mod::error unreadable(const char *path)
{
    return errorf(-1, "Error: cannot read \"%s\".\n", path);
}

mac2mod::error shortFile(const char *path, size_t wanted, long offset)
{
    return errorf(1, "Error: \"%s\" ends before its last field: %zu bytes wanted at byte %ld.\n",
                  path, wanted, offset);
}

mac2mod::error countRefused(const char *path, const char *name, int modelId, int value, int lo, int hi)
{
    if (modelId == NO_MODEL)
        return errorf(1, "Error: \"%s\": %s is %d, not in %d to %d.\n", path, name, value, lo, hi);
    return errorf(1, "Error: \"%s\": %s of model %d is %d, not in %d to %d.\n",
                  path, name, modelId, value, lo, hi);
}

mac2mod::error modelNumOutside(const char *path, int modelNum, long room)
{
    if (modelNum < 0)
        return errorf(1, "Error: \"%s\": modelNum is %d, below 0.\n", path, modelNum);
    return errorf(1, "Error: \"%s\": modelNum is %d, but the file has room for at most %ld models.\n",
                  path, modelNum, room);
}

mac2mod::error nameUnended(const char *path, int modelId)
{
    return errorf(1, "Error: \"%s\": the name of model %d has no terminating zero.\n", path, modelId);
}

// The file front to back in 4-byte little-endian values and blocks, with the byte offset
// reached; a field that the file does not hold completely is refused where it starts. Every
// refusal is placed at the offending field's offset.
class byteReader {
public:
    byteReader(const char *path, FILE *stream, long size)
        : path_(path), stream_(stream), offset_(0), size_(size) {}

    void block(void *bytes, size_t size)
    {
        if (std::fread(bytes, 1, size, stream_) != size) {
            stoppedAt(offset_, std::ferror(stream_) ? unreadable(path_)
                                                     : shortFile(path_, size, offset_));
        }
        offset_ += static_cast<long>(size);
    }

    uint32_t le32()
    {
        unsigned char bytes[4];
        block(bytes, sizeof bytes);
        return getLE32(bytes);
    }

    const char *path() const { return path_; }
    long offset() const { return offset_; }
    // Refuses the file at the field that begins at offset field.
    [[noreturn]] void stoppedAt(long field, mac2mod::error refusal) const
    {
        throw refusal.at(path_, field);
    }
    // Bytes still to come, or -1 when the size is unknown (not a regular file).
    long remaining() const { return size_ < 0 ? -1 : size_ - offset_; }

private:
    const char *path_;
    FILE *stream_;
    long offset_;
    long size_;
};

// The 50 floats of a mixture record in file order.
template <class Mixture, class Visit>
void mixtureFields(Mixture &mixture, Visit visit)
{
    visit(mixture.mixtureWeight);
    for (auto &value : mixture.mean)
        visit(value);
    for (auto &value : mixture.variance)
        visit(value);
    visit(mixture.gconst);
}

// The order of the fields in the file, followed by both directions. A channel either fills
// the fields from the file or sends them to it; the reading channel checks every count
// before the count drives a loop. A run of n floats is moved as one block; its walk visits
// exactly n fields in file order.
template <class Channel, class Model>
void transferModel(Channel &io, Model &model, int streamNum, int modelId)
{
    io.name(model.str, modelId);
    io.count(model.stateNum, 2, capacity::states, "stateNum", modelId);
    for (int j = 0; j < model.stateNum - 2; j++) {
        auto &state = model.state[j];
        io.floats(streamNum, [&](auto visit) {
            for (int k = 0; k < streamNum; k++)
                visit(state.streamWeight[k]);
        });
        for (int k = 0; k < streamNum; k++) {
            auto &stream = state.stream[k];
            io.count(stream.mixtureNum, 0, capacity::mixtures, "mixtureNum", modelId);
            io.floats(stream.mixtureNum * MIXTURE_FLOATS, [&](auto visit) {
                for (int l = 0; l < stream.mixtureNum; l++)
                    mixtureFields(stream.mixture[l], visit);
            });
            io.endStream(modelId, j, k, stream.mixtureNum);
        }
    }
    // The first N * N entries of the whole matrix, row by row: not the top-left block.
    io.floats(model.stateNum * model.stateNum, [&](auto visit) {
        for (int i = 0; i < model.stateNum * model.stateNum; i++)
            visit(model.transProb[i / MAX_STATE_NUM][i % MAX_STATE_NUM]);
    });
}

template <class Channel, class Set>
void transferSet(Channel &io, Set &set)
{
    io.integer(set.modelNum);
    io.count(set.streamNum, 1, capacity::streams, "streamNum", NO_MODEL);
    for (int s = 0; s < set.streamNum; s++)
        io.count(set.vecSize[s], 1, capacity::vectorSize, "vecSize", NO_MODEL);
    io.modelArray(set);
    for (int m = 0; m < set.modelNum; m++) {
        io.startModel(m);
        transferModel(io, set.model[m], set.streamNum, m);
    }
    io.endSet();
}

// The site of a field of model m that the walk hands over: its place in the record tells
// which it is, so the walk itself need not say.
valueSite siteOf(const hmmModel &model, int m, const float *field)
{
    size_t at = static_cast<size_t>(reinterpret_cast<const char *>(field) - reinterpret_cast<const char *>(&model));
    auto floats = [](size_t bytes) { return static_cast<int>(bytes / sizeof(float)); };
    if (at >= offsetof(hmmModel, transProb))
        return {fieldKind::transition, m, -1, -1, -1, floats(at - offsetof(hmmModel, transProb))};
    at -= offsetof(hmmModel, state);
    const int e = static_cast<int>(at / sizeof(hmmState));
    at %= sizeof(hmmState);
    if (at < offsetof(hmmState, stream))
        return {fieldKind::streamWeight, m, e, floats(at - offsetof(hmmState, streamWeight)), -1, -1};
    at -= offsetof(hmmState, stream);
    const int s = static_cast<int>(at / sizeof(hmmStream));
    at = at % sizeof(hmmStream) - offsetof(hmmStream, mixture);
    const int k = static_cast<int>(at / sizeof(hmmMixture));
    at %= sizeof(hmmMixture);
    if (at == offsetof(hmmMixture, mixtureWeight))
        return {fieldKind::mixtureWeight, m, e, s, k, -1};
    if (at == offsetof(hmmMixture, gconst))
        return {fieldKind::gconst, m, e, s, k, -1};
    if (at < offsetof(hmmMixture, variance))
        return {fieldKind::mean, m, e, s, k, floats(at - offsetof(hmmMixture, mean))};
    return {fieldKind::variance, m, e, s, k, floats(at - offsetof(hmmMixture, variance))};
}

class fieldReader {
public:
    fieldReader(const char *path, FILE *stream, long size, binaryReadProgress *progress,
                fieldObserver *observer)
        : in_(path, stream, size), progress_(progress), observer_(observer) {}

    void integer(int &field)
    {
        integerAt_ = in_.offset();
        field = static_cast<int32_t>(in_.le32());
    }

    void count(int &field, int lo, capacity what, const char *name, int modelId)
    {
        integer(field);
        if (!withinCapacity(what, field, lo))
            in_.stoppedAt(integerAt_, countRefused(in_.path(), name, modelId, field, lo, capacityOf(what)));
    }

    // modelNum is weighed against the rest of the file before anything is allocated, so a
    // huge count in a small file costs no memory.
    void modelArray(hmmSet &set)
    {
        long remaining = in_.remaining();
        long room = remaining < 0 ? -1 : remaining / MIN_MODEL_BYTES;
        if (set.modelNum < 0 || (room >= 0 && set.modelNum > room))   // modelNum is field 0
            in_.stoppedAt(0, modelNumOutside(in_.path(), set.modelNum, room));
        std::free(set.model);
        set.model = allocateModels(set.modelNum);
        set_ = &set;
        if (progress_)
            progress_->arrayReady(set.model, set.modelNum);
    }

    void startModel(int modelId)
    {
        modelId_ = modelId;
        if (progress_)
            progress_->reached(modelId);
    }

    void name(char (&str)[MAX_NAME_LEN], int modelId)
    {
        long at = in_.offset();
        in_.block(str, MAX_NAME_LEN);
        if (!std::memchr(str, '\0', MAX_NAME_LEN))
            in_.stoppedAt(at, nameUnended(in_.path(), modelId));
        if (observer_)
            observer_->model(modelId, at);
    }

    // A run of n floats, one block of the file, handed to the fields in the order walk visits
    // them.
    template <class Walk>
    void floats(int n, Walk walk)
    {
        if (observer_)
            return observedFloats(n, walk);
        unsigned char bytes[4 * LONGEST_RUN];
        in_.block(bytes, 4 * static_cast<size_t>(n));
        const unsigned char *in = bytes;
        walk([&in](float &field) {
            field = bitsFloat(getLE32(in));
            in += 4;
        });
    }

    // The stream's count is the last integer read.
    void endStream(int modelId, int state, int stream, int given)
    {
        if (observer_)
            observer_->stream(modelId, state, stream, given, integerAt_);
    }
    void endSet()
    {
        if (observer_)
            observer_->end(in_.offset());
    }

private:
    // The same, each field told to the observer; apart, so that the plain read stays as lean.
    template <class Walk>
    [[gnu::noinline]] void observedFloats(int n, Walk walk)
    {
        unsigned char bytes[4 * LONGEST_RUN];
        const long at = in_.offset();
        in_.block(bytes, 4 * static_cast<size_t>(n));
        const unsigned char *in = bytes;
        walk([&](float &field) {
            field = bitsFloat(getLE32(in));
            observer_->value(siteOf(set_->model[modelId_], modelId_, &field), field, at + (in - bytes));
            in += 4;
        });
    }

    byteReader in_;
    long integerAt_ = 0;   // where the last integer or count began
    binaryReadProgress *progress_;
    fieldObserver *observer_;
    const hmmSet *set_ = nullptr;
    int modelId_ = 0;   // of the model being read
};

class fieldWriter {
public:
    explicit fieldWriter(const char *path) : out_(path, "wb", true) {}

    void integer(int value) { out_.putLE32(static_cast<uint32_t>(value)); }
    void count(int value, int, capacity, const char *, int) { integer(value); }
    void modelArray(const hmmSet &) {}
    void startModel(int) {}
    void endStream(int, int, int, int) {}
    void endSet() {}
    void name(const char (&str)[MAX_NAME_LEN], int) { out_.write(str, MAX_NAME_LEN); }

    template <class Walk>
    void floats(int n, Walk walk)
    {
        unsigned char bytes[4 * LONGEST_RUN];
        unsigned char *out = bytes;
        walk([&out](float field) {
            putLE32(out, floatBits(field));
            out += 4;
        });
        out_.write(bytes, 4 * static_cast<size_t>(n));
    }

    void close() { out_.close(); }

private:
    outputFile out_;
};

}  // namespace

void readBinaryMacroStream(hmmSet &set, const char *path, FILE *stream, long size,
                           binaryReadProgress *progress, fieldObserver *observer)
{
    fieldReader io(path, stream, size, progress, observer);
    transferSet(io, set);
}

void writeBinaryMacroFile(const hmmSet &set, const char *path)
{
    checkAllCounts(set);   // the runs are encoded in buffers sized by the capacities
    fieldWriter io(path);
    transferSet(io, set);
    io.close();
}
