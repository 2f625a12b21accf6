#include "export/modelFileWriter.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <future>

#include "export/modelFileEncoder.h"
#include "export/nameTable.h"
#include "hmm/setLimits.h"
#include "utility/error.h"
#include "utility/fileUtil.h"
#include "utility/outputFile.h"

namespace {

// Where the bytes go: a file, or memory.
class byteSink {
public:
    virtual ~byteSink() = default;
    virtual void write(const void *bytes, size_t size) = 0;
};

// Models after "sil" are encoded in batches of this many on worker threads, RING batches
// ahead of the one being written, each into a buffer that goes round the ring: encoding runs
// beside the writes, and no batch needs fresh pages.
constexpr int BATCH = 256;
constexpr int RING = 3;

byteBuffer encodeBatch(const hmmSet &set, const std::vector<int> &indexTable, int first, int last,
                       byteBuffer bytes)
{
    bytes.clear();
    encodeRecords(set, indexTable, first, last, bytes);
    return bytes;
}

// The table matched against the set: entry j's model. Refused before anything is written:
// a model without an entry, and an entry without a model (it would repeat another model).
std::vector<int> tableOrder(const hmmSet &set, const char *tablePath, const char *outputPath)
{
    if (set.modelNum < 1)
        mac2mod::raisef(-1, "Error: no model to write to the Halvern file [%s]\n", outputPath);
    checkAllCounts(set);
    std::vector<long> offsets;
    std::vector<std::string> nameTable = readNameTable(tablePath, set.modelNum, &offsets);
    std::vector<const char *> modelNames(set.modelNum);
    for (int i = 0; i < set.modelNum; i++)
        modelNames[i] = set.model[i].str;
    std::vector<int> indexTable = matchModels(nameTable, modelNames);
    auto unmatched = std::find(indexTable.begin(), indexTable.end(), -1);
    if (unmatched == indexTable.begin())
        mac2mod::raisef(-1, "Error: no model is named \"sil\", the first record of the Halvern file [%s]\n",
                        outputPath);
    if (unmatched != indexTable.end()) {
        size_t j = static_cast<size_t>(unmatched - indexTable.begin());
        int line, column;
        std::string where = offsets[j] >= 0 && mac2mod::placeInFile(tablePath, offsets[j], line, column)
                                ? "line " + std::to_string(line)
                                : "entry " + std::to_string(j);
        mac2mod::raisef(-1, "Error: \"%s\" at %s of \"ModelNames.txt\" matches no model of the set\n",
                        nameTable[j].c_str(), where.c_str());
    }
    return indexTable;
}

void writeInOrder(const hmmSet &set, const std::vector<int> &indexTable, byteSink &sink)
{
    byteBuffer bytes;
    encodeHeader(set, indexTable, bytes);
    sink.write(bytes.data(), bytes.size());

    // A single batch, or one for which no thread can be had, is encoded when its turn to be
    // written comes.
    const int batches = (set.modelNum - 1 + BATCH - 1) / BATCH;
    const std::launch policy = batches > 1 ? std::launch::async | std::launch::deferred : std::launch::deferred;
    auto launch = [&](int b, byteBuffer buffer) {
        const int first = 1 + b * BATCH;
        const int last = std::min(set.modelNum, first + BATCH);
        return std::async(policy, encodeBatch,
                          std::cref(set), std::cref(indexTable), first, last, std::move(buffer));
    };
    std::deque<std::future<byteBuffer>> pending;
    for (int b = 0; b < std::min(RING, batches); b++)
        pending.push_back(launch(b, byteBuffer()));
    for (int b = 0; b < batches; b++) {
        bytes = pending.front().get();
        pending.pop_front();
        sink.write(bytes.data(), bytes.size());
        if (b + RING < batches)
            pending.push_back(launch(b + RING, std::move(bytes)));
    }
}

class fileSink : public byteSink {
public:
    explicit fileSink(const char *path) : out_(path, "wb", true, "Error: fail to open Halvern file [%s]\n") {}
    void write(const void *bytes, size_t size) override { out_.write(bytes, size); }
    void close() { out_.close(); }

private:
    outputFile out_;
};

class memorySink : public byteSink {
public:
    void write(const void *bytes, size_t size) override
    {
        const unsigned char *p = static_cast<const unsigned char *>(bytes);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    byteBuffer bytes_;
};

}  // namespace

void writeModelFileOf(const hmmSet &set, const char *tablePath, const char *outputPath)
{
    std::vector<int> indexTable = tableOrder(set, tablePath, outputPath);
    fileSink out(outputPath);
    writeInOrder(set, indexTable, out);
    out.close();
}

std::vector<unsigned char> modelFileBytes(const hmmSet &set, const char *tablePath, const char *name)
{
    memorySink sink;
    writeInOrder(set, tableOrder(set, tablePath, name), sink);
    return std::move(sink.bytes_);
}
