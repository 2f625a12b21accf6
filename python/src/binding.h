// What the parts of the extension _mac2mod share: the set as Python holds it, the references
// to its models, states and streams, and the conversions of paths and names.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <pybind11/pybind11.h>

#include "export/modelFileReader.h"
#include "hmm/macroClass.h"

namespace py = pybind11;

// A set read once and never resized: the arrays handed out point into set.MMF.model, and each
// holds the holder alive through its base, so they outlive the HmmSet object.
struct setHolder {
    enum class origin { text, binary, imported };

    macroClass set;
    origin from = origin::text;
    std::vector<std::string> sources;   // the file read, or the HTK files in load order

    int modelNum() const { return set.MMF.modelNum; }
    hmmModel &model(int m) const { return set.MMF.model[m]; }
    // The first model of the name, or -1.
    int find(const std::string &name);

private:
    std::unordered_map<std::string, int> byName_;   // built at the first lookup
};
using setHandle = std::shared_ptr<setHolder>;

// A model file as read_model_file read it.
struct modelFileHolder {
    modelFile file;
    std::vector<std::string> names;   // per record: "sil", then the table's names or numbers
    std::string path;
    std::string table;                // the table the names came from, "" for none
};
using modelFileHandle = std::shared_ptr<modelFileHolder>;

struct modelRef { setHandle holder; int model; };
struct stateRef { setHandle holder; int model, state; };          // state: index of the emitting state
struct streamRef { setHandle holder; int model, state, stream; };

// A path given as str, bytes or os.PathLike, as the file system's bytes; TypeError otherwise.
std::string pathArgument(const py::handle &path);
// Bytes of a name or path as str, undecodable bytes kept as the file system does (os.fsdecode).
py::str decoded(const std::string &bytes);
// A str key as the bytes decoded() gave it.
std::string encoded(const py::handle &text);
// An index counted from the end when negative; IndexError outside [0, size).
int checkedIndex(long index, int size, const char *what);

// The contents of the module, by part.
void bindSet(py::module_ &m);
void bindSetViews(py::module_ &m);
void bindModelFile(py::module_ &m);
void bindDiff(py::module_ &m);
// The pooled components of one stream of the set, as HmmSet.gaussians gives them.
py::dict gaussians(const setHolder &holder, int stream);
