// ModelFile: the recogniser's model file as mac2mod.read_model_file reads it, its records by
// index and by name, each state's fields in ordinary arrays.
#include <algorithm>

#include <pybind11/numpy.h>

#include "binding.h"
#include "export/modelFileReader.h"

namespace {

struct recordRef { modelFileHandle holder; int record; };

modelFileHandle readModelFileOf(const py::object &path, const py::object &table)
{
    auto holder = std::make_shared<modelFileHolder>();
    holder->path = pathArgument(path);
    holder->table = table.is_none() ? "" : pathArgument(table);
    py::gil_scoped_release unlocked;
    // With a table, its names name the records in the messages too.
    holder->file = readModelFile(holder->path.c_str(), holder->table.empty() ? nullptr : holder->table.c_str());
    holder->names = holder->file.names;
    if (holder->names.empty()) {
        holder->names.push_back("sil");
        for (int j = 1; j < holder->file.modelNum(); j++)
            holder->names.push_back(std::to_string(j));
    }
    return holder;
}

recordRef item(const modelFileHandle &holder, const py::object &key)
{
    if (py::isinstance<py::str>(key)) {
        std::string name = encoded(key);
        for (size_t j = 0; j < holder->names.size(); j++)
            if (holder->names[j] == name)
                return {holder, static_cast<int>(j)};
        PyErr_SetObject(PyExc_KeyError, key.ptr());
        throw py::error_already_set();
    }
    if (!PyIndex_Check(key.ptr()))
        throw py::type_error("a model is taken by int index or by str name");
    return {holder, checkedIndex(key.cast<long>(), holder->file.modelNum(), "model")};
}

py::dict stateFields(const modelFile &file, const modelFileState &state)
{
    const py::ssize_t k = state.mixtureNum, v = file.vecSize;
    py::array_t<float> logWeights(k), scaledWeights(k), means({k, v}), variances({k, v});
    auto logWeight = logWeights.mutable_unchecked<1>(), scaledWeight = scaledWeights.mutable_unchecked<1>();
    auto mean = means.mutable_unchecked<2>(), variance = variances.mutable_unchecked<2>();
    for (int i = 0; i < k; i++) {
        logWeight(i) = file.logWeight(state, i);
        scaledWeight(i) = file.scaledWeight(state, i);
        for (int e = 0; e < v; e++) {
            mean(i, e) = file.mean(state, i, e);
            variance(i, e) = file.variance(state, i, e);
        }
    }
    py::dict fields;
    fields["log_weights"] = logWeights;
    fields["scaled_weights"] = scaledWeights;
    fields["means"] = means;
    fields["variances"] = variances;
    return fields;
}

std::string recordRepr(const recordRef &r)
{
    return "<mac2mod.ModelFileModel " + std::to_string(r.record) + " " +
           py::repr(decoded(r.holder->names[r.record])).cast<std::string>() + ": " +
           std::to_string(r.holder->file.records[r.record].states.size()) + " emitting states>";
}

}  // namespace

void bindModelFile(py::module_ &m)
{
    py::class_<recordRef>(m, "ModelFileModel", "One record of a model file; record 0 is \"sil\".")
        .def_property_readonly("name", [](const recordRef &r) { return decoded(r.holder->names[r.record]); },
                               "The record's name: \"sil\", the table's entry, or its number without a table.")
        .def_property_readonly("index", [](const recordRef &r) { return r.record; }, "The record's index in the file.")
        .def_property_readonly("states", [](const recordRef &r) {
                py::list states;
                for (const modelFileState &state : r.holder->file.records[r.record].states)
                    states.append(stateFields(r.holder->file, state));
                return states;
            }, R"(List of dicts, one per emitting state, of new float32 arrays: "log_weights" and
"scaled_weights" (K,), "means" and "variances" (K, V).)")
        .def("__repr__", &recordRepr);

    py::class_<modelFileHolder, modelFileHandle>(m, "ModelFile", R"(A model file as mac2mod.read_model_file reads it.

len(m) records, "sil" first; m[j] and m["name"] give a ModelFileModel (IndexError / KeyError
when absent); iterating gives every record.)")
        .def_property_readonly("vector_size", [](const modelFileHolder &h) { return h.file.vecSize; },
                               "The vector size V of every mean and variance.")
        .def_property_readonly("names", [](const modelFileHolder &h) {
                py::list names;
                for (const std::string &name : h.names)
                    names.append(decoded(name));
                return names;
            }, "List of the record names: \"sil\", then the table's names in order (\"1\", \"2\", ... without a table).")
        .def_property_readonly("values", [](const modelFileHolder &h) {
                return py::array_t<float>(static_cast<py::ssize_t>(h.file.values.size()), h.file.values.data());
            }, "Every float32 value of the file in file order, counts included (a new array).")
        .def("__len__", [](const modelFileHolder &h) { return h.file.modelNum(); }, "Number of records, \"sil\" included.")
        .def("__getitem__", &item, py::arg("key"), "The record at an int index or of a str name.")
        .def("__contains__", [](const modelFileHolder &h, const py::object &key) {
                return py::isinstance<py::str>(key) &&
                       std::find(h.names.begin(), h.names.end(), encoded(key)) != h.names.end();
            }, py::arg("name"), "Whether a record has this name.")
        .def("__iter__", [](const modelFileHandle &h) {
                py::list records;
                for (int j = 0; j < h->file.modelNum(); j++)
                    records.append(recordRef{h, j});
                return py::iter(records);
            }, "Iterate over the records in file order.")
        .def("__repr__", [](const modelFileHolder &h) {
                return "<mac2mod.ModelFile from " + py::repr(decoded(h.path)).cast<std::string>() + ": " +
                       std::to_string(h.file.modelNum()) + " models, vector size " + std::to_string(h.file.vecSize) + ">";
            });

    m.def("read_model_file", &readModelFileOf, py::arg("path"), py::arg("table") = py::none(),
          R"(Read and check a recogniser's model file (as the converter writes it).

path: str, bytes or os.PathLike. table: the ModelNames.txt whose names the records take, or
None for their numbers. Returns a ModelFile whose arrays are new arrays.
Raises mac2mod.Error (with the file and the byte offset) when the file cannot be opened, is cut
short, holds a count outside what a set can hold or has bytes after its last record, or when
the table cannot be opened.)");
}
