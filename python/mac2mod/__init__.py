"""HMM sets of the recogniser's acoustic models as numpy arrays.

    import mac2mod
    s = mac2mod.read("examples/example.mac")       # or .macb; mac2mod.import_htk([...]) for HTK files
    s["sil"].states[0].streams[0].means            # float32 (K, V), a view into the set

read, import_htk and read_model_file read; HmmSet.write and HmmSet.write_model_file write the
same bytes as the C++ library and the programs; HmmSet.lint checks as `mmftool check` does and
diff compares two sets or model files as `mmftool diff` does.
Every failure raises mac2mod.Error (a ValueError); reads and writes release the interpreter
lock, so different sets can be read on different threads at once.
"""

from ._error import Error
from ._mac2mod import (HmmSet, Model, ModelFile, ModelFileModel, State, Stream, diff, import_htk,
                       read, read_model_file)

__all__ = ["Error", "HmmSet", "Model", "ModelFile", "ModelFileModel", "State", "Stream", "diff",
           "import_htk", "read", "read_model_file"]

# Shown (and documented by help()) under the package's name rather than its private modules'.
for _name in __all__:
    globals()[_name].__module__ = __name__
del _name
