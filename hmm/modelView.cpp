#include <cstdio>

#include "hmm/modelView.h"
#include "hmm/setLimits.h"
#include "utility/error.h"
#include "utility/outputFile.h"

namespace {

// "%f " for each element, each preceded by before; a line end after the last.
void dumpValues(outputFile &file, const char *before, const float *values, int n)
{
    for (int i = 0; i < n; i++)
        file.printf("%s%f ", before, values[i]);
    file.printf("\n");
}

void dumpMixture(outputFile &file, const hmmMixture &mixture, int vecSize)
{
    file.printf("\t\t\t\t\tmixtureWeight = %f\n", mixture.mixtureWeight);
    file.printf("\t\t\t\t\tgconst = %f\n", mixture.gconst);
    file.printf("\t\t\t\t\tmean = ");
    dumpValues(file, "", mixture.mean, vecSize);
    file.printf("\t\t\t\t\tvariance = ");
    dumpValues(file, "", mixture.variance, vecSize);
}

// The first model, in array order, whose name begins with head; -1 when there is none.
int firstModelStartingWith(const hmmSet &set, const std::string &head)
{
    for (int m = 0; m < set.modelNum; m++)
        if (modelName(set.model[m]).substr(0, head.size()) == head)
            return m;
    return -1;
}

}  // namespace

void dumpModelOf(const hmmSet &MMF, int index, const char *path)
{
    if (index < 0 || index >= MMF.modelNum)
        mac2mod::raisef(1, "Error: model index %d is outside the set of %d models!\n", index, MMF.modelNum);
    checkSetCounts(MMF);
    checkModelCounts(MMF, index);

    const hmmModel &model = MMF.model[index];
    std::string_view name = modelName(model);
    outputFile file(path, "w");
    file.printf("\tModel index = %d\n", index);
    file.printf("\tMMF.modelNum = %d\n", MMF.modelNum);
    file.printf("\tMMF.streamNum = %d\n", MMF.streamNum);
    file.printf("\tMMF.model[%d].stateNum = %d\n", index, model.stateNum);
    file.printf("\tMMF.model[%d].str = %.*s\n", index, static_cast<int>(name.size()), name.data());
    for (int j = 0; j < model.stateNum - 2; j++) {
        file.printf("\t\tState index = %d\n", j);
        const hmmState &state = model.state[j];
        for (int s = 0; s < MMF.streamNum; s++) {
            file.printf("\t\t\tStream index = %d\n", s);
            file.printf("\t\t\t\tstreamWeight[%d] = %f\n", s, state.streamWeight[s]);
            // Every component is shown, weight 0 or not.
            for (int k = 0; k < state.stream[s].mixtureNum; k++) {
                file.printf("\t\t\t\tMixture index = %d\n", k);
                dumpMixture(file, state.stream[s].mixture[k], MMF.vecSize[s]);
            }
        }
    }
    file.printf("\tMMF.model[%d].transProb = \n", index);
    for (int r = 0; r < model.stateNum; r++) {
        file.printf("\t");
        dumpValues(file, "\t", model.transProb[r], model.stateNum);
    }
    file.close();
}

int findSubstituteModelOf(const hmmSet &MMF, const std::string &modelStr)
{
    // The model string is text: it ends at its first zero byte, as a name does.
    std::string text(modelStr.c_str());
    size_t plus = text.find('+');
    if (plus == std::string::npos)
        mac2mod::raisef(1, "modelStr=\"%s\"\n"
                        "Error in macroClass::findSubstituteModel(): Cannot find '+' sign!\n",
                        text.c_str());
    // The context after the first '+' is replaced: silence first, then any context.
    std::string head = text.substr(0, plus + 1);
    int index = firstModelStartingWith(MMF, head + "sil");
    if (index < 0)
        index = firstModelStartingWith(MMF, head);
    return index;
}

void macroClass::getModelNames(std::vector<std::string> &names)
{
    names.clear();
    for (int m = 0; m < MMF.modelNum; m++)
        names.emplace_back(modelName(MMF.model[m]));
}
