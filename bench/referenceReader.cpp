#include "referenceReader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool is(const char *str1, const char *keyword)
{
    return std::strcmp(str1, keyword) == 0;
}

// The head of a state, a stream or the transition matrix, whose keyword may be read already.
void head(FILE *f, char *str1, int &temp, const char *keyword)
{
    if (is(str1, keyword))
        std::fscanf(f, "%d", &temp);
    else
        std::fscanf(f, "%999s %d", str1, &temp);
}

bool readModel(FILE *f, const hmmSet &set, hmmModel &model, char *str1, char *str2, int &temp)
{
    std::fscanf(f, "%999s", str1);
    while (is(str1, "~r") && !is(str1, "~h"))
        if (std::fscanf(f, "%999s", str1) != 1)
            return false;
    std::fscanf(f, " \"%999[^\"]\"", str2);
    std::snprintf(model.str, sizeof model.str, "%.49s", str2);
    std::fscanf(f, "%999s", str1);
    if (!is(str1, "<BEGINHMM>"))
        return false;
    std::fscanf(f, "%999s %d", str1, &model.stateNum);
    if (model.stateNum < 2 || model.stateNum > MAX_STATE_NUM)
        return false;
    for (int i = 2; i < model.stateNum; i++) {
        hmmState &state = model.state[i - 2];
        head(f, str1, temp, "<STATE>");
        std::fscanf(f, "%999s", str1);
        if (is(str1, "<NUMMIXES>")) {
            for (int s = 0; s < set.streamNum; s++) {
                std::fscanf(f, "%d", &state.stream[s].mixtureNum);
                if (state.stream[s].mixtureNum > MAX_MIXTURE_NUM || state.stream[s].mixtureNum < 0)
                    return false;
            }
            std::fscanf(f, "%999s %d", str1, &temp);
        } else if (is(str1, "<SWEIGHTS>")) {
            for (int s = 0; s < set.streamNum; s++)
                state.stream[s].mixtureNum = 1;
            std::fscanf(f, "%d", &temp);
        } else {
            return false;
        }
        for (int s = 0; s < set.streamNum; s++)
            std::fscanf(f, "%e", &state.streamWeight[s]);
        for (int s = 0; s < set.streamNum; s++) {
            hmmStream &stream = state.stream[s];
            if (set.streamNum >= 2) {
                head(f, str1, temp, "<STREAM>");
                if (!is(str1, "<STREAM>"))
                    return false;
            }
            for (int k = 0; k < stream.mixtureNum; k++) {
                hmmMixture &mixture = stream.mixture[k];
                float weight = 0.0f;
                if (stream.mixtureNum <= 1) {
                    weight = 1.0f;
                } else {
                    if (!is(str1, "<MIXTURE>"))
                        std::fscanf(f, "%999s", str1);
                    if (!is(str1, "<MIXTURE>"))
                        break;
                    int tempmixtureId;
                    std::fscanf(f, "%d %e", &tempmixtureId, &weight);
                }
                mixture.mixtureWeight = weight;
                std::fscanf(f, "%999s %d", str1, &temp);
                if (is(str1, "<RCLASS>"))
                    std::fscanf(f, "%999s %d", str1, &temp);
                if (!is(str1, "<MEAN>") || temp != MAX_PARAM_NUM)
                    return false;
                for (int v = 0; v < set.vecSize[s]; v++)
                    std::fscanf(f, "%e", &mixture.mean[v]);
                std::fscanf(f, "%999s %d", str1, &temp);
                if (temp != MAX_PARAM_NUM || !is(str1, "<VARIANCE>"))
                    return false;
                for (int v = 0; v < set.vecSize[s]; v++)
                    std::fscanf(f, "%e", &mixture.variance[v]);
                std::fscanf(f, "%999s", str1);
                if (is(str1, "<GCONST>"))
                    std::fscanf(f, "%e", &mixture.gconst);
            }
        }
    }
    head(f, str1, temp, "<TRANSP>");
    if (!is(str1, "<TRANSP>"))
        return false;
    for (int r = 0; r < model.stateNum; r++)
        for (int c = 0; c < model.stateNum; c++)
            std::fscanf(f, "%e", &model.transProb[r][c]);
    std::fscanf(f, "%999s", str1);
    return is(str1, "<ENDHMM>");
}

}  // namespace

void referenceReadTextMacro(hmmSet &set, const char *path)
{
    FILE *f = std::fopen(path, "r");
    if (!f)
        return;
    char oneLine[MAX_STR_LEN], str1[MAX_STR_LEN] = "", str2[MAX_STR_LEN] = "";
    int temp = 0;
    set.modelNum = 0;
    while (!std::feof(f))
        if (std::fgets(oneLine, MAX_STR_LEN, f) && oneLine[0] == '~' && oneLine[1] == 'h')
            set.modelNum++;
    set.model = static_cast<hmmModel *>(std::calloc(set.modelNum, sizeof(hmmModel)));
    std::rewind(f);
    std::fscanf(f, "%999s", str1);
    std::fscanf(f, "%999s", str1);
    if (is(str1, "<HMMSETID>"))
        std::fscanf(f, "%999s %999s %d", str2, str1, &set.streamNum);
    else
        std::fscanf(f, "%d", &set.streamNum);
    if (set.streamNum < 1 || set.streamNum > MAX_STREAM_NUM)
        set.streamNum = 1;
    for (int s = 0; s < set.streamNum; s++)
        std::fscanf(f, "%d", &set.vecSize[s]);
    std::fscanf(f, "%999s %999[^\n]", str1, str2);
    std::snprintf(set.globalOption, sizeof set.globalOption, "%.400s %.400s", str1, str2);
    for (int m = 0; m < set.modelNum; m++)
        if (!readModel(f, set, set.model[m], str1, str2, temp))
            break;
    std::fclose(f);
}
