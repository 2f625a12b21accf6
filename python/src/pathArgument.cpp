#include "binding.h"

#include <cstring>

std::string pathArgument(const py::handle &path)
{
    // PyUnicode_FSConverter takes str, bytes and os.PathLike, and refuses anything else with
    // TypeError, as open() does.
    PyObject *converted = nullptr;
    if (!PyUnicode_FSConverter(path.ptr(), &converted))
        throw py::error_already_set();
    py::bytes bytes = py::reinterpret_steal<py::bytes>(converted);
    return bytes;
}

py::str decoded(const std::string &bytes)
{
    PyObject *text = PyUnicode_DecodeFSDefaultAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
    if (!text)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

std::string encoded(const py::handle &text)
{
    PyObject *bytes = PyUnicode_EncodeFSDefault(text.ptr());
    if (!bytes)
        throw py::error_already_set();
    return py::reinterpret_steal<py::bytes>(bytes);
}

int checkedIndex(long index, int size, const char *what)
{
    if (index < 0)
        index += size;
    if (index < 0 || index >= size)
        throw py::index_error(std::string(what) + " index out of range");
    return static_cast<int>(index);
}
