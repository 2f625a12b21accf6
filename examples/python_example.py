#!/usr/bin/env python3
"""Reads the example set and shows what the module gives: shapes, a few values, pooled
components and the model file's records.

    PYTHONPATH=build/python python3 examples/python_example.py
"""
import pathlib
import tempfile

import mac2mod

here = pathlib.Path(__file__).parent
s = mac2mod.read(here / "example.mac")
print(s)
print("streams:", s.stream_count, "vector sizes:", s.vector_sizes, "models:", s.names)

sil = s["sil"]
stream = sil.states[0].streams[0]
print(sil, "transitions", sil.trans.shape)
print(stream, "means", stream.means.shape, "variances", stream.variances.shape)
print("weights", stream.weights, "sum", stream.weights.sum())

pooled = s.gaussians()
print("every component of stream 0:", pooled["means"].shape,
      "smallest variance %.4g in model %s" % (pooled["variances"].min(),
                                              s.names[pooled["model"][pooled["variances"].min(axis=1).argmin()]]))

with tempfile.TemporaryDirectory() as folder:
    s.write_model_file(f"{folder}/example.mod", table=here / "ModelNames.txt")
    m = mac2mod.read_model_file(f"{folder}/example.mod", table=here / "ModelNames.txt")
    print(m, [record.name for record in m])
    print("log weights of", m[1].name, m[1].states[0]["log_weights"])

try:
    mac2mod.read(here / "missing.mac")
except mac2mod.Error as e:
    print("refused:", e, "(status %d)" % e.status)
