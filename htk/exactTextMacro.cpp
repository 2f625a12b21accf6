#include "htk/exactTextMacro.h"

#include <cstring>

#include "hmm/setLimits.h"
#include "hmm/textMacroWriter.h"

namespace mac2mod {

void checkExactTextMacro(const macroClass &macro)
{
    const hmmSet &set = macro.MMF;
    if (!withinCapacity(capacity::streams, set.streamNum, 1))
        raisef(1, "the set has %d streams; the text form holds 1 to %d\n", set.streamNum, MAX_STREAM_NUM);
    for (int s = 0; s < set.streamNum; s++)
        if (set.vecSize[s] != MAX_PARAM_NUM)
            raisef(1, "stream %d has vectors of %d values; the text form (.mac) holds %d only: write .macb or .mod\n",
                   s + 1, set.vecSize[s], MAX_PARAM_NUM);
    if (set.modelNum < 0 || (set.modelNum > 0 && !set.model))
        raisef(1, "the set holds no model array\n");
    for (int m = 0; m < set.modelNum; m++) {
        const hmmModel &model = set.model[m];
        std::string_view name = modelName(model);
        if (name.size() >= static_cast<size_t>(MAX_NAME_LEN) || name.empty() ||
            name.find('"') != std::string_view::npos || name.find('\n') != std::string_view::npos)
            raisef(1, "model %d: its name cannot be written in the text form\n", m);
        if (!withinCapacity(capacity::states, model.stateNum, 2))
            raisef(1, "model %d (\"%.*s\"): %d states; the set holds 2 to %d\n", m, static_cast<int>(name.size()),
                   name.data(), model.stateNum, MAX_STATE_NUM);
        for (int e = 0; e < model.stateNum - 2; e++)
            for (int s = 0; s < set.streamNum; s++) {
                int k = model.state[e].stream[s].mixtureNum;
                if (!withinCapacity(capacity::mixtures, k, 1))
                    raisef(1, "model %d (\"%.*s\"), state %d, stream %d: %d components; the text form holds 1 to %d\n",
                           m, static_cast<int>(name.size()), name.data(), e + 2, s + 1, k, MAX_MIXTURE_NUM);
            }
    }
    if (strnlen(set.globalOption, MAX_STR_LEN) >= MAX_STR_LEN || std::strchr(set.globalOption, '\n'))
        raisef(1, "the global option line cannot be written in the text form\n");
}

void writeExactTextMacro(const macroClass &set, const std::string &path)
{
    checkExactTextMacro(set);
    writeTextMacroWalk(set.MMF, path.c_str(), textDialect::exact);
}

}  // namespace mac2mod
