#include <cmath>
#include <filesystem>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "hmm/setLimits.h"
#include "mmftool/lint.h"

namespace {

// How far a stream's mixture weights may sum from 1.
constexpr double WEIGHT_SUM_TOLERANCE = 1e-4;

// Of what the binary reader stores, the slots past the vector's size and the transitions
// outside the model's states are no part of the model.
bool partOfModel(const hmmSet &set, const valueSite &site)
{
    if (site.field == fieldKind::mean || site.field == fieldKind::variance)
        return site.element < set.vecSize[site.stream];
    if (site.field == fieldKind::transition) {
        const int stateNum = set.model[site.model].stateNum;
        return site.element / MAX_STATE_NUM < stateNum && site.element % MAX_STATE_NUM < stateNum;
    }
    return true;
}

class setChecks : public setWatch {
public:
    setChecks(const hmmSet &set, const std::string &path, bool binary) : set_(set)
    {
        lint_.path = path;
        lint_.binary = binary;
    }

    void bytes(const char *bytes, size_t n) override { lint_.lines.add(bytes, n); }

    void model(int m, long offset) override
    {
        lint_.modelAt.push_back(offset);
        std::string_view name = modelName(set_.model[m]);
        auto [first, added] = firstOfName_.emplace(name, m);
        if (!added)
            add(offset, "duplicate-name", formatted("model %d is named \"%.*s\", as model %d is", m,
                                                    static_cast<int>(name.size()), name.data(), first->second));
    }

    void value(const valueSite &site, float v, long offset) override
    {
        if (!partOfModel(set_, site))
            return;
        if (!std::isfinite(v))
            addValue(site, offset, "not-finite", " is " + shownValue(v));
        else if (site.field == fieldKind::variance && v <= 0)
            addValue(site, offset, "variance-not-positive", " is " + shownValue(v) + ", not above 0");
        else if (site.field == fieldKind::mixtureWeight && v < 0)
            addValue(site, offset, "negative-weight", " is " + shownValue(v) + ", below 0");
    }

    void stream(int m, int e, int s, int given, long countsOffset) override
    {
        const hmmStream &stream = set_.model[m].state[e].stream[s];
        const std::string place = where(m, e, s, -1);
        if (given < stream.mixtureNum)
            add(countsOffset, "missing-components",
                place + formatted(": <NUMMIXES> counts %d components, the file gives %d; the missing ones are "
                                  "written as weight 0 (log -inf) with zero mean and variance",
                                  stream.mixtureNum, given));
        if (stream.mixtureNum == 0) {
            add(countsOffset, "no-components", place + ": no components");
            return;
        }
        double sum = 0;
        for (int k = 0; k < stream.mixtureNum; k++)
            sum += stream.mixture[k].mixtureWeight;
        if (std::isfinite(sum) && std::fabs(sum - 1) > WEIGHT_SUM_TOLERANCE)
            add(countsOffset, "weight-sum", place + formatted(": the mixture weights sum to %.9g, not 1", sum));
    }

    void end(long offset) override { end_ = offset; }

    setLint finish() override
    {
        lint_.findings = found_.take();
        std::error_code error;
        auto size = lint_.binary ? std::filesystem::file_size(lint_.path, error) : 0;
        if (lint_.binary && !error && static_cast<long>(size) > end_)
            lint_.findings.push_back(lint_.at(end_, "trailing-bytes",
                                              formatted("%ld bytes after the last model, which no reader takes",
                                                        static_cast<long>(size) - end_)));
        bool sil = false;
        for (int m = 0; m < set_.modelNum && !sil; m++)
            sil = modelName(set_.model[m]) == "sil";
        if (!sil)
            lint_.findings.push_back(lint_.at(-1, "no-sil", "no model is named \"sil\", which the converter writes first"));
        sortFindings(lint_.findings);
        return std::move(lint_);
    }

private:
    void add(long offset, const char *check, std::string message)
    {
        found_.add(lint_.at(offset, check, std::move(message)));
    }

    // A mean or variance vector is known by its place in the set.
    void addValue(const valueSite &site, long offset, const char *check, const std::string &what)
    {
        long vector = -1;
        if (site.field == fieldKind::mean || site.field == fieldKind::variance)
            vector = (((static_cast<long>(site.model) * MAX_STATE_NUM + site.state) * MAX_STREAM_NUM + site.stream) *
                          MAX_MIXTURE_NUM + site.mixture) * 2 + (site.field == fieldKind::variance);
        found_.add(lint_.at(offset, check, where(site) + what), vector);
    }

    // "model 3 ("a"), state 2, stream 1, component 2"; the stream only when the set has
    // several, the parts below the model only where given (not below 0).
    std::string where(int m, int e, int s, int k) const
    {
        std::string_view name = modelName(set_.model[m]);
        std::string text = formatted("model %d (\"%.*s\")", m, static_cast<int>(name.size()), name.data());
        if (e >= 0)
            text += formatted(", state %d", e + 2);
        if (s >= 0 && set_.streamNum > 1)
            text += formatted(", stream %d", s + 1);
        if (k >= 0)
            text += formatted(", component %d", k + 1);
        return text;
    }

    std::string where(const valueSite &site) const
    {
        std::string text = where(site.model, site.state, site.stream, site.mixture);
        switch (site.field) {
        case fieldKind::streamWeight: return text + ": the stream weight";
        case fieldKind::mixtureWeight: return text + ": the weight";
        case fieldKind::mean: return text + formatted(": mean[%d]", site.element);
        case fieldKind::variance: return text + formatted(": variance[%d]", site.element);
        case fieldKind::gconst: return text + ": the gconst";
        case fieldKind::transition: break;
        }
        return text + formatted(": transP[%d][%d]", site.element / MAX_STATE_NUM, site.element % MAX_STATE_NUM);
    }

    const hmmSet &set_;
    setLint lint_;
    std::unordered_map<std::string_view, int> firstOfName_;
    findingList found_;
    long end_ = 0;
};

}  // namespace

finding setLint::at(long offset, const char *check, std::string message) const
{
    finding f;
    f.file = path;
    f.offset = offset;
    f.binary = binary;
    f.check = check;
    f.message = std::move(message);
    return f;
}

std::unique_ptr<setWatch> watchSet(const hmmSet &set, const std::string &path, bool binary)
{
    return std::make_unique<setChecks>(set, path, binary);
}
