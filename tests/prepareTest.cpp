#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "hmm/macroClass.h"
#include "hmm/modelArray.h"
#include "utility/byteOrder.h"

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr uint32_t FLOOR_BITS = 0x0DA24260;     // the float nearest 1.0e-30
constexpr uint32_t LOG_ZERO_BITS = 0xD01502F9;  // -1.0e10
constexpr float INVERSE_FLOOR = 1.0000000150474662e30f;
constexpr float LOG_HALF = -0.6931471824645996f;

// Model 0: three states, two streams (13 and 2 values). Model 1: two states, so its state
// records are not emitting and must stay as they are.
void makeSet(macroClass &set)
{
    set.MMF.modelNum = 2;
    set.MMF.streamNum = 2;
    set.MMF.vecSize[0] = 13;
    set.MMF.vecSize[1] = 2;
    set.MMF.model = allocateModels(2);

    hmmModel &a = set.MMF.model[0];
    a.stateNum = 3;
    a.state[0].streamWeight[0] = 0.5f;
    hmmStream &first = a.state[0].stream[0];
    first.mixtureNum = 2;
    const float variances[13] = {0, -1, 4, 1e31f, INF, 1e-31f, std::nanf(""),
                                 bitsFloat(FLOOR_BITS), -0.0f, 2, 0.5f, 8, 1};
    for (int l = 0; l < 3; l++) {
        hmmMixture &mixture = first.mixture[l];
        mixture.mixtureWeight = l == 0 ? 1.0f : 0.5f;
        for (int m = 0; m < MAX_PARAM_NUM; m++)
            mixture.variance[m] = m < 13 ? variances[m] : 3.0f;
        mixture.gconst = 12.5f;
    }
    hmmStream &second = a.state[0].stream[1];
    second.mixtureNum = 2;
    second.mixture[0].mixtureWeight = 0.0f;
    second.mixture[1].mixtureWeight = -0.0f;
    for (hmmMixture &mixture : second.mixture)
        for (float &v : mixture.variance)
            v = 4;
    a.transProb[0][1] = 1;
    a.transProb[1][1] = 0.5f;
    a.transProb[1][2] = 0.5f;
    a.transProb[2][2] = 0.25f;
    a.transProb[0][3] = 0.5f;   // outside the 3 x 3 block

    hmmModel &b = set.MMF.model[1];
    b.stateNum = 2;
    b.transProb[0][1] = 0.5f;
    b.state[0].stream[0].mixtureNum = 1;
    b.state[0].stream[0].mixture[0].mixtureWeight = 0.5f;
    b.state[0].stream[0].mixture[0].variance[0] = 4;
}

}  // namespace

TEST(prepareModels, floorsAndInvertsUsedVariancesOnly)
{
    macroClass set;
    makeSet(set);
    set.prepareModels();
    const hmmStream &first = set.MMF.model[0].state[0].stream[0];
    const float *v = first.mixture[0].variance;
    EXPECT_EQ(v[0], INVERSE_FLOOR);            // 0 is floored, then inverted
    EXPECT_EQ(v[1], INVERSE_FLOOR);            // so is a negative variance
    EXPECT_EQ(v[2], 0.25f);
    EXPECT_EQ(floatBits(v[3]), FLOOR_BITS);    // 1e31 inverts below the floor
    EXPECT_EQ(floatBits(v[4]), FLOOR_BITS);    // infinity inverts to 0
    EXPECT_EQ(v[5], INVERSE_FLOOR);
    EXPECT_TRUE(std::isnan(v[6]));
    EXPECT_EQ(v[7], INVERSE_FLOOR);            // the floor itself is kept
    EXPECT_EQ(v[8], INVERSE_FLOOR);
    EXPECT_EQ(v[9], 0.5f);
    EXPECT_EQ(v[12], 1.0f);
    for (int m = 13; m < MAX_PARAM_NUM; m++)
        EXPECT_EQ(v[m], 3.0f) << m;
    EXPECT_EQ(first.mixture[1].variance[2], 0.25f);
    EXPECT_EQ(first.mixture[2].variance[2], 4.0f);   // beyond mixtureNum

    const hmmStream &second = set.MMF.model[0].state[0].stream[1];
    EXPECT_EQ(second.mixture[0].variance[1], 0.25f);
    EXPECT_EQ(second.mixture[0].variance[2], 4.0f);   // beyond vecSize 2
    EXPECT_EQ(set.MMF.model[1].state[0].stream[0].mixture[0].variance[0], 4.0f);
}

TEST(prepareModels, takesLogarithmsOfWeightsAndTransitions)
{
    macroClass set;
    makeSet(set);
    set.prepareModels();
    const hmmState &state = set.MMF.model[0].state[0];
    EXPECT_EQ(state.stream[0].mixture[0].mixtureWeight, 0.0f);
    EXPECT_EQ(state.stream[0].mixture[1].mixtureWeight, LOG_HALF);
    EXPECT_EQ(state.stream[0].mixture[2].mixtureWeight, 0.5f);   // beyond mixtureNum
    EXPECT_EQ(floatBits(state.stream[1].mixture[0].mixtureWeight), LOG_ZERO_BITS);
    EXPECT_EQ(floatBits(state.stream[1].mixture[1].mixtureWeight), LOG_ZERO_BITS);
    EXPECT_EQ(state.stream[0].mixture[0].gconst, 12.5f);
    EXPECT_EQ(state.streamWeight[0], 0.5f);

    const hmmModel &a = set.MMF.model[0];
    EXPECT_EQ(a.transProb[0][1], 0.0f);
    EXPECT_EQ(a.transProb[1][1], LOG_HALF);
    EXPECT_EQ(a.transProb[2][2], -1.3862943611198906f);
    EXPECT_EQ(floatBits(a.transProb[0][0]), 0u);   // a zero transition stays 0, not LOG_ZERO
    EXPECT_EQ(a.transProb[0][3], 0.5f);

    const hmmModel &b = set.MMF.model[1];
    EXPECT_EQ(b.transProb[0][1], LOG_HALF);
    EXPECT_EQ(b.state[0].stream[0].mixture[0].mixtureWeight, 0.5f);
}
