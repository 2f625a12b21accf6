#include "hmm/textMacroWriter.h"
#include "hmm/setLimits.h"
#include "utility/outputFile.h"

namespace {

// One vector or matrix row: a blank before every element, a line end after the last.
void writeVector(outputFile &file, const float *values, int n)
{
    for (int i = 0; i < n; i++)
        file.printf(" %e", values[i]);
    file.printf("\n");
}

void writeState(outputFile &file, const hmmSet &set, const hmmState &state)
{
    file.printf("<NUMMIXES>");
    for (int s = 0; s < set.streamNum; s++)
        file.printf(" %d", state.stream[s].mixtureNum);
    file.printf("\n");

    // The stored stream weights are not kept: every stream is written with weight 1.0.
    file.printf("<SWEIGHTS> %d", set.streamNum);
    if (set.streamNum == 1) {
        file.printf(" %e\n", 1.0);
    } else {
        file.printf("\n");
        for (int s = 0; s < set.streamNum; s++)
            file.printf(" %e", 1.0);
        file.printf("\n");
    }

    for (int s = 0; s < set.streamNum; s++) {
        if (set.streamNum > 1)
            file.printf("<STREAM> %d\n", s + 1);
        const hmmStream &stream = state.stream[s];
        for (int k = 0; k < stream.mixtureNum; k++) {
            const hmmMixture &mixture = stream.mixture[k];
            // A component of weight 0 contributes nothing; the others keep their numbers.
            if (mixture.mixtureWeight == 0)
                continue;
            file.printf("<MIXTURE> %d %e\n", k + 1, mixture.mixtureWeight);
            file.printf("<MEAN> %d\n", set.vecSize[s]);
            writeVector(file, mixture.mean, set.vecSize[s]);
            file.printf("<VARIANCE> %d\n", set.vecSize[s]);
            writeVector(file, mixture.variance, set.vecSize[s]);
            file.printf("<GCONST> %e\n", mixture.gconst);
        }
    }
}

void writeModel(outputFile &file, const hmmSet &set, const hmmModel &model)
{
    std::string_view name = modelName(model);
    file.printf("~h \"%.*s\"\n", static_cast<int>(name.size()), name.data());
    file.printf("<BEGINHMM>\n");
    file.printf("<NUMSTATES> %d\n", model.stateNum);
    for (int e = 0; e < model.stateNum - 2; e++) {
        file.printf("<STATE> %d\n", e + 2);
        writeState(file, set, model.state[e]);
    }
    file.printf("<TRANSP> %d\n", model.stateNum);
    for (int r = 0; r < model.stateNum; r++)
        writeVector(file, model.transProb[r], model.stateNum);
    file.printf("<ENDHMM>\n");
}

}  // namespace

void writeTextMacroFile(const hmmSet &MMF, const char *path)
{
    checkAllCounts(MMF);

    outputFile file(path, "w");
    file.printf("~o\n");
    file.printf("<STREAMINFO> %d", MMF.streamNum);
    for (int s = 0; s < MMF.streamNum; s++)
        file.printf(" %d", MMF.vecSize[s]);
    file.printf("\n");
    file.printf("%.*s\n", static_cast<int>(strnlen(MMF.globalOption, MAX_STR_LEN)),
                MMF.globalOption);
    for (int m = 0; m < MMF.modelNum; m++)
        writeModel(file, MMF, MMF.model[m]);
    file.close();
}
