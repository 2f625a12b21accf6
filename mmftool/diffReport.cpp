// The document of mmftool diff: what the walk found, with names for its places. JSON has no
// NaN or infinity: an undefined measure is null.
#include <cmath>

#include <nlohmann/json.hpp>

#include "mmftool/diffCompare.h"
#include "utility/error.h"

namespace mac2mod {

namespace {

using json = nlohmann::ordered_json;
using namespace diffing;

json number(double value)
{
    return std::isfinite(value) ? json(value) : json();
}

json sideJson(const diffSide &side)
{
    json vecSizes = json::array();
    int models = 0, streams = 1;
    if (side.set()) {
        const hmmSet &set = side.set()->MMF;
        models = set.modelNum;
        streams = set.streamNum;
        for (int s = 0; s < set.streamNum; s++)
            vecSizes.push_back(set.vecSize[s]);
    } else {
        models = side.file()->modelNum();
        vecSizes.push_back(side.file()->vecSize);
    }
    return {{"input", side.label()}, {"kind", side.kind()}, {"models", models}, {"streams", streams},
            {"vectorSizes", vecSizes}};
}

json modelsJson(const std::vector<int> &models, const view &side)
{
    json list = json::array();
    for (int m : models)
        list.push_back({{"model", side.name(m)}, {"index", m}});
    return list;
}

json shapesJson(const result &found, const view &a)
{
    json list = json::array();
    for (const shapeDifference &d : found.shapes) {
        json one = {{"model", a.name(d.modelA)}, {"indexA", d.modelA}, {"indexB", d.modelB}, {"field", d.field}};
        if (d.state) {
            one["state"] = d.state;
            one["stream"] = d.stream;
        }
        one["a"] = d.a;
        one["b"] = d.b;
        list.push_back(one);
    }
    return list;
}

json entryJson(const entry &e, const view &a)
{
    json one = {{"value", number(e.value)}, {"model", a.name(e.at.modelA)}, {"indexA", e.at.modelA},
                {"indexB", e.at.modelB}};
    if (e.at.from) {
        one["from"] = e.at.from;
        one["to"] = e.at.to;
        return one;
    }
    one["state"] = e.at.state;
    one["stream"] = e.at.stream;
    one["component"] = e.at.component;
    if (e.at.dimension)
        one["dimension"] = e.at.dimension;
    return one;
}

json rms(double squares, long count)
{
    return count ? json(std::sqrt(squares / static_cast<double>(count))) : json();
}

json profileJson(const result &found)
{
    json streams = json::array();
    for (size_t s = 0; s < found.profile.size(); s++) {
        json dimensions = json::array();
        for (size_t v = 0; v < found.profile[s].size(); v++) {
            const profileCell &cell = found.profile[s][v];
            dimensions.push_back({{"dimension", v + 1},
                                  {"meanShiftRms", rms(cell.meanSquares, cell.meanCount)},
                                  {"logVarianceRatioRms", rms(cell.logVarianceSquares, cell.logVarianceCount)}});
        }
        streams.push_back({{"stream", s + 1}, {"dimensions", dimensions}});
    }
    return streams;
}

json setStructureJson(const result &found)
{
    json list = json::array();
    for (const setDifference &d : found.setStructure) {
        json one = {{"field", d.field}};
        if (d.stream)
            one["stream"] = d.stream;
        one["a"] = d.a;
        one["b"] = d.b;
        list.push_back(one);
    }
    return list;
}

bool differs(const result &found)
{
    return !found.setStructure.empty() || !found.onlyInA.empty() || !found.onlyInB.empty() ||
           !found.shapes.empty() || found.componentsBeyond > 0 || found.transitionsBeyond > 0;
}

}  // namespace

json diff(const diffSide &a, const diffSide &b, const diffOptions &options)
{
    if (!(options.tolerance >= 0) || !std::isfinite(options.tolerance) || options.top < 0)
        raisef(2, "Error: the tolerance must be a number of at least 0, and top a count of at least 0\n");
    sides compared;
    prepareSides(a, b, options, compared);
    const view &viewA = compared.views[0], &viewB = compared.views[1];
    const result found = compare(viewA, viewB, options);

    json largest = json::object(), worst = json::object();
    for (int m = 0; m < measureCount; m++) {
        const std::vector<entry> &list = found.worst[m];
        largest[measureName(measure(m))] = list.empty() ? json(0) : number(list[0].value);
        json entries = json::array();
        for (const entry &e : list)
            entries.push_back(entryJson(e, viewA));
        worst[measureName(measure(m))] = entries;
    }
    return {
        {"a", sideJson(a)},
        {"b", sideJson(b)},
        {"comparedAs", a.set() && b.set() ? "sets" : "model files"},
        {"table", options.table.empty() ? json() : json(options.table)},
        {"tolerance", options.tolerance},
        {"top", options.top},
        {"differs", differs(found)},
        {"setStructure", setStructureJson(found)},
        {"onlyInA", modelsJson(found.onlyInA, viewA)},
        {"onlyInB", modelsJson(found.onlyInB, viewB)},
        {"structureDiffers", shapesJson(found, viewA)},
        {"compared", {{"models", found.modelsCompared}, {"components", found.components},
                      {"transitionMatrices", found.transitions}}},
        {"beyondTolerance", {{"components", found.componentsBeyond}, {"transitionMatrices", found.transitionsBeyond}}},
        {"undefined", found.undefined},
        {"largest", largest},
        {"worst", worst},
        {"profile", profileJson(found)},
    };
}

}  // namespace mac2mod
