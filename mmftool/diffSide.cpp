// The sides of mmftool diff: read by the library's own readers, and, where a set faces a model
// file, encoded by the model file writer so that both hold the same kind of values.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "export/modelFileEncoder.h"
#include "export/modelFileWriter.h"
#include "export/nameTable.h"
#include "hmm/setIO.h"
#include "hmm/setLimits.h"
#include "htk/htkImport.h"
#include "mmftool/command.h"
#include "mmftool/diffCompare.h"
#include "utility/error.h"

namespace mac2mod {

namespace {

std::vector<std::string> splitList(const std::string &named)
{
    std::vector<std::string> paths;
    size_t start = 0;
    for (size_t comma; (comma = named.find(',', start)) != std::string::npos; start = comma + 1)
        paths.push_back(named.substr(start, comma - start));
    paths.push_back(named.substr(start));
    return paths;
}

// The reader's own message, with the path in front: it names only the fault.
modelFile readModelFileNamed(const std::string &path, const std::string &table)
{
    try {
        return readModelFile(path.c_str(), table.empty() ? nullptr : table.c_str());
    } catch (const error &e) {
        if (e.status() != 1)
            throw;   // not opened: the message names the file already
        error named("\"" + path + "\": " + e.message() + "\n", e.status());
        named.at(e.file(), e.offset());
        throw named;
    }
}

}  // namespace

diffSide diffSide::read(const std::string &named, const std::string &table)
{
    diffSide side;
    side.label_ = named;
    const bool list = named.find(',') != std::string::npos;
    if (!list && isModelFilePath(named.c_str())) {
        side.ownedFile_ = std::make_shared<modelFile>(readModelFileNamed(named, table));
        side.file_ = side.ownedFile_.get();
        side.kind_ = "model file";
        return side;
    }
    auto set = std::make_shared<macroClass>();
    if (!list && macroKindOf(named.c_str()) != macroKind::none) {
        readSet(*set, named);
    } else {
        importHtk(*set, splitList(named));
        side.kind_ = "htk";
    }
    side.ownedSet_ = set;
    side.set_ = set.get();
    return side;
}

diffSide diffSide::of(const macroClass &set, const std::string &label)
{
    diffSide side;
    side.set_ = &set;
    side.label_ = label;
    return side;
}

diffSide diffSide::of(const modelFile &file, const std::string &label)
{
    diffSide side;
    side.file_ = &file;
    side.label_ = label;
    side.kind_ = "model file";
    return side;
}

namespace diffing {

view::view(const hmmSet &set) : set_(&set)
{
    names_.reserve(set.modelNum);
    for (int m = 0; m < set.modelNum; m++)
        names_.emplace_back(modelName(set.model[m]));
}

view::view(const modelFile &file, std::vector<std::string> names) : file_(&file), names_(std::move(names))
{
}

int view::emittingStates(int m) const
{
    return set_ ? set_->model[m].stateNum - 2 : static_cast<int>(file_->records[m].states.size());
}

int view::mixtures(int m, int e, int s) const
{
    return set_ ? set_->model[m].state[e].stream[s].mixtureNum : file_->records[m].states[e].mixtureNum;
}

gaussian view::component(int m, int e, int s, int k, float *buffer) const
{
    if (set_) {
        const hmmMixture &mixture = set_->model[m].state[e].stream[s].mixture[k];
        return {mixture.mixtureWeight, std::log(static_cast<double>(mixture.mixtureWeight)),
                mixture.mean, mixture.variance};
    }
    const modelFileState &state = file_->records[m].states[e];
    const int vecSize = file_->vecSize;
    for (int v = 0; v < vecSize; v++) {
        buffer[v] = file_->mean(state, k, v);
        buffer[MAX_PARAM_NUM + v] = file_->variance(state, k, v);
    }
    // The weight as a fraction again, so that it reads as a set's does.
    return {file_->scaledWeight(state, k) / static_cast<double>(modelFileLayout::weightScaleOf(m)),
            file_->logWeight(state, k), buffer, buffer + MAX_PARAM_NUM};
}

namespace {

// Without a table the set is written in its own order, "sil" first; names receives the
// names in record order.
modelFile encodeInSetOrder(const hmmSet &set, const std::string &label, std::vector<std::string> &names)
{
    checkAllCounts(set);
    std::vector<int> order;
    for (int m = 0; m < set.modelNum && order.empty(); m++)
        if (modelName(set.model[m]) == "sil")
            order.push_back(m);
    if (order.empty())
        raisef(1, "Error: \"%s\" has no model named \"sil\", the first record of a model file\n", label.c_str());
    for (int m = 0; m < set.modelNum; m++)
        if (m != order[0])
            order.push_back(m);
    byteBuffer bytes;
    encodeHeader(set, order, bytes);
    encodeRecords(set, order, 1, set.modelNum, bytes);
    for (int m : order)
        names.emplace_back(modelName(set.model[m]));
    return parseModelFile(bytes.data(), bytes.size());
}

// Record j's name when nothing names it: "sil", then its number.
std::string positionName(int j)
{
    return j == 0 ? "sil" : std::to_string(j);
}

}  // namespace

void prepareSides(const diffSide &a, const diffSide &b, const diffOptions &options, sides &out)
{
    if (a.set() && b.set()) {
        // A set built in memory may hold counts the records cannot.
        checkAllCounts(a.set()->MMF);
        checkAllCounts(b.set()->MMF);
        out.views[0] = view(a.set()->MMF);
        out.views[1] = view(b.set()->MMF);
        return;
    }
    const diffSide *side[2] = {&a, &b};
    const char *table = options.table.empty() ? nullptr : options.table.c_str();
    std::vector<std::string> names[2];
    const modelFile *file[2] = {a.file(), b.file()};
    for (int k = 0; k < 2; k++) {
        if (file[k])
            continue;
        const hmmSet &set = side[k]->set()->MMF;
        if (table) {
            std::vector<unsigned char> bytes = modelFileBytes(set, table, side[k]->label().c_str());
            out.encoded[k] = parseModelFile(bytes.data(), bytes.size());
            names[k] = readNameTable(table, set.modelNum);
        } else {
            out.encoded[k] = encodeInSetOrder(set, side[k]->label(), names[k]);
        }
        file[k] = &out.encoded[k];
    }
    // A model file as read takes the table's names, or else the names of the set it faces
    // as that set was written, or else its record numbers.
    for (int k = 0; k < 2; k++) {
        if (!side[k]->file())
            continue;
        const int records = file[k]->modelNum();
        if (table)
            names[k] = readNameTable(table, records);
        static const std::vector<std::string> none;
        const std::vector<std::string> &other = side[1 - k]->file() ? none : names[1 - k];
        for (int j = static_cast<int>(names[k].size()); j < records; j++)
            names[k].push_back(j < static_cast<int>(other.size()) ? other[j] : positionName(j));
    }
    for (int k = 0; k < 2; k++)
        out.views[k] = view(*file[k], std::move(names[k]));
}

}  // namespace diffing

}  // namespace mac2mod
