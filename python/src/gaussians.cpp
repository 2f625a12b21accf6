// HmmSet.gaussians: every component of one stream in ordinary arrays, for analysis over the
// whole set (histograms, clustering) without a Python loop over the records.
#include <cstring>

#include <pybind11/numpy.h>

#include "binding.h"

py::dict gaussians(const setHolder &holder, int stream)
{
    const hmmSet &set = holder.set.MMF;
    stream = checkedIndex(stream, set.streamNum, "stream");
    const py::ssize_t v = set.vecSize[stream];
    py::ssize_t g = 0;
    for (int m = 0; m < set.modelNum; m++)
        for (int e = 0; e < set.model[m].stateNum - 2; e++)
            g += set.model[m].state[e].stream[stream].mixtureNum;

    py::array_t<float> means({g, v}), variances({g, v}), weights(g), gconsts(g);
    py::array_t<int32_t> models(g), states(g), components(g);
    float *mean = means.mutable_data(), *variance = variances.mutable_data();
    float *weight = weights.mutable_data(), *gconst = gconsts.mutable_data();
    int32_t *model = models.mutable_data(), *state = states.mutable_data(), *component = components.mutable_data();
    {
        // Only the new arrays' memory and the set's records are touched here.
        py::gil_scoped_release unlocked;
        const size_t vectorBytes = sizeof(float) * v;
        for (int m = 0; m < set.modelNum; m++)
            for (int e = 0; e < set.model[m].stateNum - 2; e++) {
                const hmmStream &s = set.model[m].state[e].stream[stream];
                for (int k = 0; k < s.mixtureNum; k++) {
                    const hmmMixture &mixture = s.mixture[k];
                    std::memcpy(mean, mixture.mean, vectorBytes);
                    std::memcpy(variance, mixture.variance, vectorBytes);
                    mean += v;
                    variance += v;
                    *weight++ = mixture.mixtureWeight;
                    *gconst++ = mixture.gconst;
                    *model++ = m;
                    *state++ = e;
                    *component++ = k;
                }
            }
    }
    py::dict pooled;
    pooled["means"] = means;
    pooled["variances"] = variances;
    pooled["weights"] = weights;
    pooled["gconsts"] = gconsts;
    pooled["model"] = models;
    pooled["state"] = states;
    pooled["component"] = components;
    return pooled;
}
