// The report of mmftool diff as text, made from its document so that the two never tell
// different things.
#include <string>

#include <nlohmann/json.hpp>

#include "mmftool/diff.h"
#include "utility/error.h"

namespace mac2mod {

namespace {

using json = nlohmann::ordered_json;

const char *const measureTitles[][2] = {
    {"meanShift", "|mean B - mean A| / sigma A"},
    {"logVarianceRatio", "|ln(variance B / variance A)|"},
    {"weight", "|weight B - weight A|"},
    {"logWeight", "|log weight B - log weight A|"},
    {"divergence", "symmetric Kullback-Leibler divergence"},
    {"transition", "|transition B - transition A|"},
};

std::string value(const json &v)
{
    return v.is_null() ? "undefined" : formatted("%.6g", v.get<double>());
}

std::string sideLine(const char *which, const json &side)
{
    std::string sizes;
    for (const json &v : side["vectorSizes"])
        sizes += (sizes.empty() ? "" : ", ") + std::to_string(v.get<int>());
    return formatted("%s: %s (%s: %d models, %d stream(s) of %s values)\n", which,
                     side["input"].get<std::string>().c_str(), side["kind"].get<std::string>().c_str(),
                     side["models"].get<int>(), side["streams"].get<int>(), sizes.c_str());
}

std::string modelPlace(const json &e)
{
    return formatted("model \"%s\" (A %d, B %d)", e["model"].get<std::string>().c_str(),
                     e["indexA"].get<int>(), e["indexB"].get<int>());
}

// At most top entries of a list, one line each by line(entry), and how many more there are.
template <class Line>
std::string listed(const char *title, const json &list, size_t top, Line line)
{
    if (list.empty())
        return "";
    std::string text = formatted("%s: %zu\n", title, list.size());
    for (size_t k = 0; k < list.size() && k < top; k++)
        text += "  " + line(list[k]) + "\n";
    if (list.size() > top)
        text += formatted("  ... and %zu more\n", list.size() - top);
    return text;
}

std::string structureLine(const json &d)
{
    std::string what = d["field"] == "states"
                           ? std::string("states")
                           : formatted("mixtures in state %d, stream %d", d["state"].get<int>(), d["stream"].get<int>());
    return formatted("model \"%s\" (A %d, B %d): %s: %d in A, %d in B", d["model"].get<std::string>().c_str(),
                     d["indexA"].get<int>(), d["indexB"].get<int>(), what.c_str(), d["a"].get<int>(),
                     d["b"].get<int>());
}

std::string entryLine(const json &e)
{
    std::string text = value(e["value"]) + " at " + modelPlace(e);
    if (e.contains("from"))
        return text + formatted(", from state %d to state %d", e["from"].get<int>(), e["to"].get<int>());
    text += formatted(", state %d, stream %d, component %d", e["state"].get<int>(), e["stream"].get<int>(),
                      e["component"].get<int>());
    if (e.contains("dimension"))
        text += formatted(", dimension %d", e["dimension"].get<int>());
    return text;
}

std::string setStructureText(const json &report)
{
    std::string text;
    for (const json &d : report["setStructure"]) {
        if (d["field"] == "streams")
            text += formatted("streams: %d in A, %d in B\n", d["a"].get<int>(), d["b"].get<int>());
        else
            text += formatted("vector size of stream %d: %d in A, %d in B\n", d["stream"].get<int>(),
                              d["a"].get<int>(), d["b"].get<int>());
    }
    return text.empty() ? "" : text + "no model compared: the sets differ in shape\n";
}

std::string profileText(const json &report)
{
    std::string text;
    for (const json &stream : report["profile"]) {
        bool any = false;
        for (const json &d : stream["dimensions"])
            any = any || d["meanShiftRms"] != 0 || d["logVarianceRatioRms"] != 0;
        if (!any)
            continue;
        text += formatted("per dimension, stream %d (RMS over compared components):\n"
                          "  dimension  mean shift / sigma A  ln(variance B / variance A)\n",
                          stream["stream"].get<int>());
        for (const json &d : stream["dimensions"])
            text += formatted("  %9d  %20s  %27s\n", d["dimension"].get<int>(), value(d["meanShiftRms"]).c_str(),
                              value(d["logVarianceRatioRms"]).c_str());
    }
    return text;
}

std::string worstText(const json &report, size_t top)
{
    std::string text;
    for (const auto &[key, title] : measureTitles)
        text += listed(formatted("largest %s", title).c_str(), report["worst"][key], top, entryLine);
    return text;
}

}  // namespace

std::string diffText(const json &report)
{
    const size_t top = report["top"].get<size_t>();
    const json &compared = report["compared"], &beyond = report["beyondTolerance"];
    std::string text = sideLine("A", report["a"]) + sideLine("B", report["b"]);
    if (report["comparedAs"] == "model files")
        text += report["table"].is_null()
                    ? "compared as model files (first stream, weights as written); no table: records paired by position\n"
                    : "compared as model files (first stream, weights as written); records named by the table\n";
    text += setStructureText(report);
    auto name = [](const json &m) { return formatted("\"%s\" (%d)", m["model"].get<std::string>().c_str(), m["index"].get<int>()); };
    text += listed("models only in A", report["onlyInA"], top, name);
    text += listed("models only in B", report["onlyInB"], top, name);
    text += listed("models of different structure", report["structureDiffers"], top, structureLine);
    text += formatted("compared: %ld models, %ld components, %ld transition matrices\n",
                      compared["models"].get<long>(), compared["components"].get<long>(),
                      compared["transitionMatrices"].get<long>());
    const std::string tolerance = formatted("%g", report["tolerance"].get<double>());
    text += formatted("beyond tolerance %s: %ld components, %ld transition matrices\n", tolerance.c_str(),
                      beyond["components"].get<long>(), beyond["transitionMatrices"].get<long>());
    if (report["undefined"] != 0)
        text += formatted("undefined measures (a variance not above 0, or a value not a number): %ld\n",
                          report["undefined"].get<long>());
    text += worstText(report, top) + profileText(report);
    text += report["differs"] ? "A and B differ\n" : "no difference beyond tolerance " + tolerance + "\n";
    return text;
}

}  // namespace mac2mod
