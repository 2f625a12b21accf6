// Moves a set that was just read into the form a recogniser scores with: inverse variances,
// and natural logarithms of mixture weights and transition probabilities. Not repeatable:
// a second pass would invert and take logarithms again.
#include <cmath>

#include "hmm/macroClass.h"

namespace {

// The single-precision number nearest 1.0e-30 (bits 0x0DA24260): the smallest variance kept
// before inversion and the smallest inverse variance kept after it.
constexpr float VARIANCE_FLOOR = 1.0e-30f;
// Stands for the logarithm of a zero mixture weight (bits 0xD01502F9).
constexpr float LOG_ZERO = -1.0e10f;

// Taken in double precision and rounded once, as the model file writer does.
float naturalLog(float x)
{
    return static_cast<float>(std::log(static_cast<double>(x)));
}

// The whole floor pass runs before the inversion, over the used entries only.
void invertVariances(float *variance, int vecSize)
{
    for (int m = 0; m < vecSize; m++)
        if (variance[m] < VARIANCE_FLOOR)
            variance[m] = VARIANCE_FLOOR;
    for (int m = 0; m < vecSize; m++) {
        float r = 1.0f / variance[m];
        variance[m] = r < VARIANCE_FLOOR ? VARIANCE_FLOOR : r;
    }
}

}  // namespace

void macroClass::prepareModels()
{
    for (int i = 0; i < MMF.modelNum; i++) {
        hmmModel &model = MMF.model[i];
        for (int j = 0; j < model.stateNum - 2; j++)
            for (int k = 0; k < MMF.streamNum; k++) {
                hmmStream &stream = model.state[j].stream[k];
                for (int l = 0; l < stream.mixtureNum; l++) {
                    hmmMixture &mixture = stream.mixture[l];
                    invertVariances(mixture.variance, MMF.vecSize[k]);
                    mixture.mixtureWeight = mixture.mixtureWeight == 0.0f
                                                ? LOG_ZERO
                                                : naturalLog(mixture.mixtureWeight);
                }
            }
        // A zero transition stays 0, unlike a zero weight.
        for (int j = 0; j < model.stateNum; j++)
            for (int k = 0; k < model.stateNum; k++)
                if (model.transProb[j][k] != 0.0f)
                    model.transProb[j][k] = naturalLog(model.transProb[j][k]);
    }
}
