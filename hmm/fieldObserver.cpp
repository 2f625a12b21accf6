#include "hmm/fieldObserver.h"

const float &heldAt(const hmmSet &set, const valueSite &site)
{
    const hmmModel &model = set.model[site.model];
    if (site.field == fieldKind::transition)
        return model.transProb[site.element / MAX_STATE_NUM][site.element % MAX_STATE_NUM];
    const hmmState &state = model.state[site.state];
    if (site.field == fieldKind::streamWeight)
        return state.streamWeight[site.stream];
    const hmmMixture &mixture = state.stream[site.stream].mixture[site.mixture];
    switch (site.field) {
    case fieldKind::mixtureWeight: return mixture.mixtureWeight;
    case fieldKind::mean: return mixture.mean[site.element];
    case fieldKind::variance: return mixture.variance[site.element];
    default: return mixture.gconst;
    }
}

bool heldIn(const hmmSet &set, const valueSite &site)
{
    if (site.model < 0 || site.model >= set.modelNum)
        return false;
    const hmmModel &model = set.model[site.model];
    if (site.field == fieldKind::transition)
        return site.element >= 0 && site.element < MAX_STATE_NUM * MAX_STATE_NUM;
    if (site.state < 0 || site.state >= model.stateNum - 2 || site.stream < 0 || site.stream >= set.streamNum)
        return false;
    if (site.field == fieldKind::streamWeight)
        return true;
    if (site.mixture < 0 || site.mixture >= model.state[site.state].stream[site.stream].mixtureNum)
        return false;
    const bool vector = site.field == fieldKind::mean || site.field == fieldKind::variance;
    return !vector || (site.element >= 0 && site.element < MAX_PARAM_NUM);
}
