// Model, State and Stream of an HmmSet, and their arrays: numpy views into the fixed-capacity
// records (a mixture is 200 bytes, so a column of means steps 200 bytes), sized to what the
// record holds, writable, and holding the set alive through their base.
#include <algorithm>

#include <pybind11/numpy.h>

#include "binding.h"
#include "hmm/setLimits.h"

namespace {

py::array view(const setHandle &holder, float *first, std::vector<py::ssize_t> shape,
               std::vector<py::ssize_t> strides)
{
    py::capsule base(new setHandle(holder), [](void *handle) { delete static_cast<setHandle *>(handle); });
    return py::array(py::dtype::of<float>(), std::move(shape), std::move(strides), first, base);
}

constexpr py::ssize_t MIXTURE_STEP = sizeof(hmmMixture);

int emittingCount(const hmmModel &model) { return std::max(model.stateNum - 2, 0); }

hmmStream &streamOf(const streamRef &r) { return r.holder->model(r.model).state[r.state].stream[r.stream]; }

py::array componentValues(const streamRef &r, float hmmMixture::*field)
{
    hmmStream &stream = streamOf(r);
    return view(r.holder, &(stream.mixture[0].*field), {stream.mixtureNum}, {MIXTURE_STEP});
}

py::array componentVectors(const streamRef &r, float (hmmMixture::*field)[MAX_PARAM_NUM])
{
    hmmStream &stream = streamOf(r);
    return view(r.holder, (stream.mixture[0].*field), {stream.mixtureNum, r.holder->set.MMF.vecSize[r.stream]},
                {MIXTURE_STEP, static_cast<py::ssize_t>(sizeof(float))});
}

// A model by its index in the set and its name, as the tools' messages name it: 3 'a'.
std::string modelLabel(const setHolder &holder, int m)
{
    return std::to_string(m) + " " + py::repr(decoded(std::string(modelName(holder.model(m))))).cast<std::string>();
}

std::string modelRepr(const modelRef &r)
{
    const hmmModel &model = r.holder->model(r.model);
    return "<mac2mod.Model " + modelLabel(*r.holder, r.model) + ": " + std::to_string(model.stateNum) + " states>";
}

// File state numbers count from 1 with the entry state, so emitting state e is state e + 2;
// streams count from 1, as in the files and every message.
std::string stateRepr(const stateRef &r)
{
    return "<mac2mod.State " + std::to_string(r.state + 2) + " of model " + modelLabel(*r.holder, r.model) + ">";
}

std::string streamRepr(const streamRef &r)
{
    return "<mac2mod.Stream " + std::to_string(r.stream + 1) + " of state " + std::to_string(r.state + 2) +
           " of model " + modelLabel(*r.holder, r.model) + ": " + std::to_string(streamOf(r).mixtureNum) +
           " components of " + std::to_string(r.holder->set.MMF.vecSize[r.stream]) + " values>";
}

}  // namespace

void bindSetViews(py::module_ &m)
{
    py::class_<modelRef>(m, "Model", "One model of an HmmSet; its arrays are views into the set.")
        .def_property_readonly("name", [](const modelRef &r) { return decoded(std::string(modelName(r.holder->model(r.model)))); },
                               "The model's name (str).")
        .def_property_readonly("index", [](const modelRef &r) { return r.model; }, "The model's index in the set.")
        .def_property_readonly("state_count", [](const modelRef &r) { return r.holder->model(r.model).stateNum; },
                               "Number of states, the entry and exit states included (2 to 5).")
        .def_property_readonly("trans", [](const modelRef &r) {
                hmmModel &model = r.holder->model(r.model);
                py::ssize_t row = sizeof(model.transProb[0]), n = model.stateNum;
                return view(r.holder, &model.transProb[0][0], {n, n}, {row, static_cast<py::ssize_t>(sizeof(float))});
            }, "Transition matrix, float32 (N, N) view, N = state_count; row 0 is the entry state.")
        .def_property_readonly("states", [](const modelRef &r) {
                py::list states;
                for (int e = 0; e < emittingCount(r.holder->model(r.model)); e++)
                    states.append(stateRef{r.holder, r.model, e});
                return states;
            }, "List of the emitting States (N - 2) in file order.")
        .def("__repr__", &modelRepr);

    py::class_<stateRef>(m, "State", "One emitting state of a model; model.states[0] is the file's state 2.")
        .def_property_readonly("stream_weights", [](const stateRef &r) {
                hmmState &state = r.holder->model(r.model).state[r.state];
                return view(r.holder, state.streamWeight, {r.holder->set.MMF.streamNum},
                            {static_cast<py::ssize_t>(sizeof(float))});
            }, "Stream weights, float32 (stream_count,) view.")
        .def_property_readonly("streams", [](const stateRef &r) {
                py::list streams;
                for (int s = 0; s < r.holder->set.MMF.streamNum; s++)
                    streams.append(streamRef{r.holder, r.model, r.state, s});
                return streams;
            }, "List of the state's Streams, one per stream of the set.")
        .def("__repr__", &stateRepr);

    py::class_<streamRef>(m, "Stream", "The mixture of one stream of a state; its arrays are views into the set.")
        .def_property_readonly("mixture_count", [](const streamRef &r) { return streamOf(r).mixtureNum; },
                               "K, the number of components.")
        .def_property_readonly("weights", [](const streamRef &r) { return componentValues(r, &hmmMixture::mixtureWeight); },
                               "Mixture weights, float32 (K,) view.")
        .def_property_readonly("gconsts", [](const streamRef &r) { return componentValues(r, &hmmMixture::gconst); },
                               "The components' GCONST values, float32 (K,) view.")
        .def_property_readonly("means", [](const streamRef &r) { return componentVectors(r, &hmmMixture::mean); },
                               "Means, float32 (K, V) view, V = the stream's vector size.")
        .def_property_readonly("variances", [](const streamRef &r) { return componentVectors(r, &hmmMixture::variance); },
                               "Diagonal variances, float32 (K, V) view.")
        .def("__repr__", &streamRepr);
}
