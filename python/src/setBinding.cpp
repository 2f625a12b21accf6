// HmmSet: a set read by mac2mod.read or mac2mod.import_htk, its models by index and by name,
// its writers and its lint.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "binding.h"
#include "hmm/setIO.h"
#include "hmm/setLimits.h"
#include "htk/htkObserver.h"
#include "mmftool/lint.h"

int setHolder::find(const std::string &name)
{
    if (byName_.empty())
        for (int m = modelNum() - 1; m >= 0; m--)   // the first of a name stays
            byName_[std::string(modelName(model(m)))] = m;
    auto found = byName_.find(name);
    return found == byName_.end() ? -1 : found->second;
}

namespace {

modelRef item(const setHandle &holder, const py::object &key)
{
    if (py::isinstance<py::str>(key)) {
        int m = holder->find(encoded(key));
        if (m < 0) {
            PyErr_SetObject(PyExc_KeyError, key.ptr());
            throw py::error_already_set();
        }
        return {holder, m};
    }
    if (!PyIndex_Check(key.ptr()))
        throw py::type_error("a model is taken by int index or by str name");
    return {holder, checkedIndex(key.cast<long>(), holder->modelNum(), "model")};
}

py::list names(const setHolder &holder)
{
    py::list list(holder.modelNum());
    for (int m = 0; m < holder.modelNum(); m++)
        list[m] = decoded(std::string(modelName(holder.model(m))));
    return list;
}

// Removes the folder and what it holds when the scope ends, however it ends.
struct temporaryFolder {
    std::string path;
    temporaryFolder()
    {
        path = (std::filesystem::temp_directory_path() / "mac2mod-lint-XXXXXX").string();
        if (!mkdtemp(path.data()))
            mac2mod::raisef(-1, "Error: Cannot create a temporary folder in \"%s\".\n",
                            std::filesystem::temp_directory_path().c_str());
    }
    ~temporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// Whether two sets hold the same records, byte for byte (the model arrays are zero-filled, so
// what no value fills is the same in both).
bool sameRecords(const hmmSet &a, const hmmSet &b)
{
    return a.modelNum == b.modelNum && a.streamNum == b.streamNum &&
           std::memcmp(a.vecSize, b.vecSize, sizeof a.vecSize) == 0 &&
           std::strncmp(a.globalOption, b.globalOption, MAX_STR_LEN) == 0 &&
           (a.modelNum == 0 || std::memcmp(a.model, b.model, sizeof(hmmModel) * a.modelNum) == 0);
}

// An imported set that still holds what its HTK files give, checked as mmftool check checks
// them: read again with the checks watching, each finding at its line and column there.
std::optional<std::vector<finding>> lintInHtkFiles(const setHolder &holder)
{
    macroClass again;
    mac2mod::htkImportSummary summary;
    std::unique_ptr<htkWatch> watch = watchHtk(holder.sources);
    try {
        mac2mod::importHtk(again, holder.sources, summary, watch.get());
    } catch (const mac2mod::error &) {
        return std::nullopt;   // the files changed since: the set is checked as it is
    }
    if (!sameRecords(again.MMF, holder.set.MMF))
        return std::nullopt;
    return watch->finish(again.MMF);
}

std::vector<finding> lintOf(const setHolder &holder, const char *table)
{
    if (holder.from != setHolder::origin::imported)
        return lintAll(holder.set, holder.sources[0], holder.from == setHolder::origin::binary, table);
    if (!table) {
        if (std::optional<std::vector<finding>> found = lintInHtkFiles(holder))
            return std::move(*found);
    }
    // The checks place what they find in the file that gave the values; an imported set that
    // changed since, or is checked with a table, is checked in its binary form, which reads
    // back every set exactly (the text form does not: the reader takes no header before a
    // lone component, which writeSet writes), and its findings name no file.
    temporaryFolder folder;
    std::string binary = folder.path + "/set.macb";
    mac2mod::writeSet(holder.set, binary);
    std::vector<finding> findings = lintAll(holder.set, binary, true, table);
    for (finding &f : findings)
        if (f.file == binary)
            f.file.clear();
    return findings;
}

py::object lint(const setHandle &holder, const py::object &table)
{
    std::optional<std::string> tablePath;
    if (!table.is_none())
        tablePath = pathArgument(table);
    std::string document;
    {
        py::gil_scoped_release unlocked;
        std::vector<finding> findings = lintOf(*holder, tablePath ? tablePath->c_str() : nullptr);
        // As mmftool check --json writes them: names and paths are bytes, not always UTF-8.
        document = findingsJson(findings).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
    return py::module_::import("json").attr("loads")(document);
}

void writeMacroFile(const setHolder &holder, const py::object &path)
{
    std::string file = pathArgument(path);
    py::gil_scoped_release unlocked;
    mac2mod::writeSet(holder.set, file);
}

void writeModelFile(const setHolder &holder, const py::object &path, const py::object &table)
{
    std::string file = pathArgument(path), tableFile = pathArgument(table);
    py::gil_scoped_release unlocked;
    mac2mod::writeModelFile(holder.set, tableFile, file);
}

std::string repr(const setHolder &holder)
{
    const hmmSet &set = holder.set.MMF;
    std::string sizes;
    for (int s = 0; s < set.streamNum; s++)
        sizes += (s ? ", " : "") + std::to_string(set.vecSize[s]);
    std::string from = holder.sources.size() == 1 ? " from " + py::repr(decoded(holder.sources[0])).cast<std::string>() : "";
    return "<mac2mod.HmmSet" + from + ": " + std::to_string(set.modelNum) + " models, " +
           std::to_string(set.streamNum) + (set.streamNum == 1 ? " stream" : " streams") +
           " of [" + sizes + "] values>";
}

}  // namespace

void bindSet(py::module_ &m)
{
    py::class_<setHolder, setHandle>(m, "HmmSet", R"(A set of HMMs as read by mac2mod.read or mac2mod.import_htk.

len(s) models in set order; s[i] and s["name"] give a Model (IndexError / KeyError when
absent); iterating gives every Model. The arrays of its models, states and streams are numpy
views into the set's own records: writing one changes the set (and what write() writes), and a
view keeps the set alive.)")
        .def_property_readonly("stream_count", [](const setHolder &h) { return h.set.MMF.streamNum; },
                               "Number of streams (1 to 3).")
        .def_property_readonly("vector_sizes", [](const setHolder &h) {
                py::tuple sizes(h.set.MMF.streamNum);
                for (int s = 0; s < h.set.MMF.streamNum; s++)
                    sizes[s] = h.set.MMF.vecSize[s];
                return sizes;
            }, "Tuple of the vector size of each stream.")
        .def_property_readonly("global_option", [](const setHolder &h) { return decoded(h.set.MMF.globalOption); },
                               "The global options after the stream widths, e.g. \"<VECSIZE> 24<NULLD>...\".")
        .def_property_readonly("names", &names, "List of the model names (str) in set order.")
        .def_property_readonly("sources", [](const setHolder &h) {
                py::list list;
                for (const std::string &path : h.sources)
                    list.append(decoded(path));
                return list;
            }, "List of the files the set was read from (the HTK files in load order for an import).")
        .def("__len__", &setHolder::modelNum, "Number of models.")
        .def("__getitem__", &item, py::arg("key"), "The Model at an int index or of a str name.")
        .def("__contains__", [](setHolder &h, const py::object &key) {
                return py::isinstance<py::str>(key) && h.find(encoded(key)) >= 0;
            }, py::arg("name"), "Whether a model has this name.")
        .def("__iter__", [](const setHandle &h) {
                py::list models(h->modelNum());
                for (int m = 0; m < h->modelNum(); m++)
                    models[m] = py::cast(modelRef{h, m});
                return py::iter(models);
            }, "Iterate over the models in set order.")
        .def("__repr__", &repr)
        .def("gaussians", [](const setHolder &h, int stream) { return gaussians(h, stream); },
             py::arg("stream") = 0, R"(Every component of one stream of the set, pooled, in set order.

Returns a dict of new arrays (not views): "means" and "variances" float32 (G, V), "weights" and
"gconsts" float32 (G,), and int32 (G,) "model", "state" (index into model.states) and
"component". Raises IndexError for a stream the set does not have.)")
        .def("write", &writeMacroFile, py::arg("path"), R"(Write the set as a macro file, chosen by the extension of path.

".mac"/".MAC": text, ".macb"/".MACB": binary; the same bytes as the C++ writeSet. The file is
written whole or not at all. Raises mac2mod.Error on another extension or a failed write.)")
        .def("write_model_file", &writeModelFile, py::arg("path"), py::arg("table") = "ModelNames.txt",
             R"(Write the recogniser's model file of the set, models in the order of the table file.

table: the ModelNames.txt to follow (by default the one in the working folder, as the converter
reads it). The same bytes as the converter. Raises mac2mod.Error (and leaves no file) when a
model has no entry in the table, the table cannot be read or the write fails.)")
        .def("lint", &lint, py::arg("table") = py::none(), R"(What would hurt the recogniser in the set (and in the table, when given).

Returns a list of dicts with the fields of `mmftool check --json`: "file", "severity", "check",
"message", and "line", "column", "byte" (or "byte" only in a binary file). The places are in
the file the set was read from, which must be unchanged. An imported set that still holds what
its HTK files give is checked in them, as `mmftool check` checks HTK files (without a table);
changed since, or with a table, it is checked in the binary form write() gives, and its
findings have "file" "" and "byte" in that form. Raises mac2mod.Error when a file cannot be read.)");
}
