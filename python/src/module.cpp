// The extension _mac2mod: the readers of the libraries, their errors as mac2mod.Error, and the
// classes of the other parts. The package's __init__.py gives the public names.
#include <chrono>

#include "binding.h"
#include "htk/htkImport.h"
#include "hmm/setIO.h"
#include "mmftool/command.h"

namespace {

// mac2mod._error.Error, looked up once at import: the translator runs on any thread and must
// not import.
PyObject *errorClass = nullptr;

void raiseError(const mac2mod::error &e)
{
    py::object error = py::reinterpret_borrow<py::object>(errorClass)(
        decoded(e.message()), e.status(), decoded(e.file()), e.offset(), e.line(), e.column());
    PyErr_SetObject(errorClass, error.ptr());
}

// The paths of import_htk: one path, or an iterable of them in load order.
std::vector<std::string> pathList(const py::object &paths)
{
    if (py::isinstance<py::str>(paths) || py::isinstance<py::bytes>(paths) || py::hasattr(paths, "__fspath__"))
        return {pathArgument(paths)};
    std::vector<std::string> list;
    for (py::handle path : py::iter(paths))
        list.push_back(pathArgument(path));
    return list;
}

setHandle readMacroFile(const py::object &path)
{
    auto holder = std::make_shared<setHolder>();
    holder->sources = {pathArgument(path)};
    const std::string &file = holder->sources[0];
    {
        py::gil_scoped_release unlocked;
        mac2mod::readSet(holder->set, file);
    }
    holder->from = macroKindOf(file.c_str()) == macroKind::binary ? setHolder::origin::binary
                                                                  : setHolder::origin::text;
    return holder;
}

setHandle importHtk(const py::object &paths)
{
    auto holder = std::make_shared<setHolder>();
    holder->sources = pathList(paths);
    holder->from = setHolder::origin::imported;
    {
        py::gil_scoped_release unlocked;
        mac2mod::importHtk(holder->set, holder->sources);
    }
    return holder;
}

// The C++ read alone, timed where it runs: the benchmark's baseline for read().
double readSetSeconds(const py::object &path)
{
    std::string file = pathArgument(path);
    py::gil_scoped_release unlocked;
    macroClass set;
    auto start = std::chrono::steady_clock::now();
    mac2mod::readSet(set, file);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

PYBIND11_MODULE(_mac2mod, m)
{
    m.doc() = "The compiled part of the package mac2mod; use the package's names.";
    errorClass = py::object(py::module_::import("mac2mod._error").attr("Error")).release().ptr();
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const mac2mod::error &e) {
            raiseError(e);
        }
    });

    bindSet(m);
    bindSetViews(m);
    bindModelFile(m);
    bindDiff(m);

    m.def("read", &readMacroFile, py::arg("path"), R"(Read a set from a macro file, chosen by its extension.

path: str, bytes or os.PathLike; ".mac"/".MAC" is read as a text macro file, ".macb"/".MACB"
as a binary one. Returns an HmmSet in the file's order.
Raises mac2mod.Error (with the file and the place: offset, and line and column in a text
file) when the file cannot be opened or read, has another extension, or holds more than a
set can; TypeError for a path of another type.)");
    m.def("import_htk", &importHtk, py::arg("paths"), R"(Import a set from HTK model files.

paths: one path or a list of them in load order (macros before the models that use them);
text or binary master macro files, with shared (tied) parts resolved into each model.
Returns an HmmSet.
Raises mac2mod.Error (with the file, line and column) on anything the files do not define or a
set cannot hold; TypeError for a path of another type.)");
    m.def("_read_set_seconds", &readSetSeconds, py::arg("path"),
          "Seconds the C++ readSet of path takes in this process (the benchmark's baseline).");
}
