// The lint of an HTK set, made while the import reads it: the checks of a set read by the
// converter's readers, on the values as the HTK files give them and placed in those files.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

#include "hmm/setLimits.h"
#include "mmftool/lint.h"

namespace {

// How far a stream's mixture weights may sum from 1, as for the converter's formats.
constexpr double WEIGHT_SUM_TOLERANCE = 1e-4;

class htkChecks : public htkWatch {
public:
    explicit htkChecks(const std::vector<std::string> &paths) : paths_(paths) {}

    void vector(int file, bool binary, const std::string &owner, fieldKind field, const float *values,
                const long *offsets, int n) override
    {
        vectors_++;
        for (int k = 0; k < n; k++) {
            const float v = values[k];
            if (!std::isfinite(v))
                add(file, binary, offsets[k], "not-finite", owner + name(field, k) + " is " + shownValue(v), owner);
            else if (field == fieldKind::variance && v <= 0)
                add(file, binary, offsets[k], "variance-not-positive",
                    owner + name(field, k) + " is " + shownValue(v) + ", not above 0", owner);
        }
    }

    void weights(int file, bool binary, long offset, const std::string &owner, double sum) override
    {
        if (std::isfinite(sum) && std::fabs(sum - 1) > WEIGHT_SUM_TOLERANCE)
            listOf(owner).add(
                at(file, binary, offset, "weight-sum", owner + formatted(": the mixture weights sum to %.9g, not 1", sum)));
    }

    void used(const std::string &macro) override { used_.push_back(macro); }

    std::vector<finding> finish(const hmmSet &set) override
    {
        std::vector<finding> findings = found_.take();
        for (const std::string &macro : used_) {
            auto pending = ofMacros_.find(macro);
            if (pending != ofMacros_.end()) {
                std::vector<finding> more = pending->second.take();
                findings.insert(findings.end(), more.begin(), more.end());
            }
        }
        // In load order, and in each file in file order.
        auto fileIndex = [&](const finding &f) { return std::find(paths_.begin(), paths_.end(), f.file) - paths_.begin(); };
        std::stable_sort(findings.begin(), findings.end(), [&](const finding &a, const finding &b) {
            return fileIndex(a) != fileIndex(b) ? fileIndex(a) < fileIndex(b) : a.offset < b.offset;
        });
        bool sil = false;
        for (int m = 0; m < set.modelNum && !sil; m++)
            sil = modelName(set.model[m]) == "sil";
        if (!sil)
            findings.push_back(at(static_cast<int>(paths_.size()) - 1, false, -1, "no-sil",
                                  "no model is named \"sil\", which the converter writes first"));
        // Lines and columns of the text files, counted from their bytes.
        for (const std::string &path : paths_) {
            std::ifstream in(path, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            lineIndex lines;
            lines.add(bytes.data(), bytes.size());
            lines.place(findings, path);
        }
        return findings;
    }

private:
    static std::string name(fieldKind field, int k)
    {
        if (field == fieldKind::gconst)
            return ": the gconst";
        return formatted(field == fieldKind::mean ? ": mean[%d]" : ": variance[%d]", k);
    }

    finding at(int file, bool binary, long offset, const char *check, std::string message) const
    {
        finding f;
        f.file = paths_[file];
        f.offset = offset;
        f.binary = binary;
        f.check = check;
        f.message = std::move(message);
        return f;
    }

    void add(int file, bool binary, long offset, const char *check, std::string message, const std::string &owner)
    {
        listOf(owner).add(at(file, binary, offset, check, std::move(message)), vectors_);
    }

    // A model's findings are the set's; a macro's only once the macro is used.
    findingList &listOf(const std::string &owner)
    {
        if (owner.empty() || owner[0] != '~')
            return found_;
        return ofMacros_[owner.substr(0, owner.find('"', 4) + 1)];
    }

    std::vector<std::string> paths_;
    findingList found_;
    std::map<std::string, findingList> ofMacros_;
    std::vector<std::string> used_;
    long vectors_ = 0;   // the vectors told so far: the values of one are one finding
};

}  // namespace

std::unique_ptr<htkWatch> watchHtk(const std::vector<std::string> &paths)
{
    return std::make_unique<htkChecks>(paths);
}
