// Byte offsets in a binary macro file, from the layout of binaryMacro.h.
#include "mmftool/fieldSites.h"

namespace {

constexpr long INT_BYTES = 4, FLOAT_BYTES = 4;
constexpr long NAME_BYTES = MAX_NAME_LEN;
constexpr long MIXTURE_BYTES = sizeof(hmmMixture);
constexpr long MEAN_AT = FLOAT_BYTES, VARIANCE_AT = MEAN_AT + MAX_PARAM_NUM * FLOAT_BYTES,
               GCONST_AT = VARIANCE_AT + MAX_PARAM_NUM * FLOAT_BYTES;

}  // namespace

void walkBinarySites(const hmmSet &set, siteVisitor &visitor)
{
    long at = 2 * INT_BYTES + set.streamNum * INT_BYTES;
    for (int m = 0; m < set.modelNum; m++) {
        const hmmModel &model = set.model[m];
        visitor.model(m, at);
        at += NAME_BYTES + INT_BYTES;
        for (int e = 0; e < model.stateNum - 2; e++) {
            for (int s = 0; s < set.streamNum; s++)
                visitor.value({fieldKind::streamWeight, m, e, s, -1, -1}, at + s * FLOAT_BYTES);
            at += set.streamNum * FLOAT_BYTES;
            for (int s = 0; s < set.streamNum; s++) {
                const int mixtureNum = model.state[e].stream[s].mixtureNum;
                const long countsAt = at;
                at += INT_BYTES;
                for (int k = 0; k < mixtureNum; k++, at += MIXTURE_BYTES) {
                    visitor.value({fieldKind::mixtureWeight, m, e, s, k, -1}, at);
                    for (int v = 0; v < set.vecSize[s]; v++)
                        visitor.value({fieldKind::mean, m, e, s, k, v}, at + MEAN_AT + v * FLOAT_BYTES);
                    for (int v = 0; v < set.vecSize[s]; v++)
                        visitor.value({fieldKind::variance, m, e, s, k, v}, at + VARIANCE_AT + v * FLOAT_BYTES);
                    visitor.value({fieldKind::gconst, m, e, s, k, -1}, at + GCONST_AT);
                }
                visitor.stream(m, e, s, mixtureNum, countsAt);
            }
        }
        // The run holds the first stateNum * stateNum entries of the 5 x 5 matrix; of them,
        // those inside the model's stateNum x stateNum block are its transitions.
        const int run = model.stateNum * model.stateNum;
        for (int i = 0; i < run; i++)
            if (i % MAX_STATE_NUM < model.stateNum && i / MAX_STATE_NUM < model.stateNum)
                visitor.value({fieldKind::transition, m, -1, -1, -1, i}, at + i * FLOAT_BYTES);
        at += run * FLOAT_BYTES;
    }
    visitor.end(at);
}
