// mac2mod.diff: the report of `mmftool diff` for sets, model files or paths held by Python.
#include <nlohmann/json.hpp>

#include "binding.h"
#include "mmftool/diff.h"

namespace {

// One side as given: a set or model file Python holds (kept alive by the caller's object for
// the whole call), or the path(s) to read it from, joined by commas as mmftool takes HTK files.
struct sideArgument {
    const setHolder *set = nullptr;
    const modelFileHolder *file = nullptr;
    std::string paths;

    mac2mod::diffSide side(const char *label, const std::string &table) const
    {
        if (set)
            return mac2mod::diffSide::of(set->set, set->sources.empty() ? label : set->sources[0]);
        if (file)
            return mac2mod::diffSide::of(file->file, file->path);
        return mac2mod::diffSide::read(paths, table);
    }
};

sideArgument sideOf(const py::object &given)
{
    sideArgument side;
    if (py::isinstance<setHolder>(given)) {
        side.set = &given.cast<const setHolder &>();
    } else if (py::isinstance<modelFileHolder>(given)) {
        side.file = &given.cast<const modelFileHolder &>();
    } else if (py::isinstance<py::str>(given) || py::isinstance<py::bytes>(given) ||
               py::hasattr(given, "__fspath__")) {
        side.paths = pathArgument(given);
    } else {
        for (py::handle path : py::iter(given))
            side.paths += (side.paths.empty() ? "" : ",") + pathArgument(path);
    }
    return side;
}

py::object diff(const py::object &a, const py::object &b, const py::object &table, double tolerance, int top)
{
    if (tolerance < 0 || top < 0)
        throw py::value_error("tolerance and top must be at least 0");
    sideArgument first = sideOf(a), second = sideOf(b);
    mac2mod::diffOptions options;
    options.tolerance = tolerance;
    options.top = top;
    if (!table.is_none())
        options.table = pathArgument(table);
    else if (first.file || second.file)   // the names a model file was read with
        options.table = first.file ? first.file->table : second.file->table;
    std::string document;
    {
        py::gil_scoped_release unlocked;
        nlohmann::ordered_json report = mac2mod::diff(first.side("a", options.table), second.side("b", options.table), options);
        document = report.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
    return py::module_::import("json").attr("loads")(document);
}

}  // namespace

void bindDiff(py::module_ &m)
{
    m.def("diff", &diff, py::arg("a"), py::arg("b"), py::arg("table") = py::none(),
          py::arg("tolerance") = 0.0, py::arg("top") = 10, R"(Compare two sets or model files model by model, as `mmftool diff --json` does.

a, b: an HmmSet, a ModelFile, a path (.mac/.macb set, .mod model file, anything else an HTK
model file) or a list of HTK model files in load order. table: the ModelNames.txt naming a
model file's records (default: the table a ModelFile was read with, else the other side's
names, else positions). tolerance: a measure above it is a difference. top: how many worst
entries to keep per measure.
Returns the report as a dict; report["differs"] is True when anything differs beyond the
tolerance. A set compared with a model file is first encoded as the model file writer encodes
it, so a conversion compared with its source shows no difference.
Raises mac2mod.Error when a side cannot be read; ValueError for a negative tolerance or top.)");
}
