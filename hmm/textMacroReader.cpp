#include "hmm/textMacroReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "hmm/macroScanner.h"
#include "hmm/modelArray.h"
#include "utility/fatal.h"

namespace {

// Every way a text macro file is refused; each ends the process with status 1.

[[noreturn]] void failBeginHmm(int modelId, const char *str1)
{
    fatalf(1, "modelId=%d, str1=%s, Cannot find \"<BEGINHMM>\"!\n", modelId, str1);
}

[[noreturn]] void failMixtureNum(int mixtureNum)
{
    fatalf(1, "mixture num %d exceeds MAX_MIXTURE_NUM %d\n", mixtureNum, MAX_MIXTURE_NUM);
}

[[noreturn]] void failNegativeMixtureNum(int mixtureNum, int modelId, const char *name, int stateId)
{
    std::printf("Error: mixture num %d is negative!\n", mixtureNum);
    fatalf(1, "at modelId = %d (%s), stateId = %d\n", modelId, name, stateId);
}

[[noreturn]] void failNumMixes(int modelId, const char *name, int stateId)
{
    std::printf("ERROR: fail to read <NUMMIXES> or <SWEIGHTS>\n");
    fatalf(1, "at modelId = %d (%s), stateId = %d\n", modelId, name, stateId);
}

[[noreturn]] void failStream(int modelId, const char *name, int stateId, const char *str1, int temp)
{
    std::printf("modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
    fatalf(1, "str1=%s, temp=%d, Cannot find \"<STREAM>\"!\n", str1, temp);
}

[[noreturn]] void failMean(int modelId, const char *name, int stateId)
{
    std::printf("Error: Cannot find \"<MEAN>\"!\n");
    fatalf(1, "modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
}

[[noreturn]] void failMeanSize(int size)
{
    fatalf(1, "Error: MAX_PARAM_NUM = %d != %d!\n", MAX_PARAM_NUM, size);
}

[[noreturn]] void failVarianceSize(int size)
{
    fatalf(1, "Error: MAX_PARAM_NUM =%d != %d!\n", MAX_PARAM_NUM, size);
}

[[noreturn]] void failVariance(int modelId, const char *name, int stateId)
{
    std::printf("Error: Cannot find \"<VARIANCE>\"!\n");
    fatalf(1, "modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
}

[[noreturn]] void failTransp(int modelId)
{
    std::printf("Error: Cannot find \"<TRANSP>\"!\n");
    fatalf(1, "at modelId = %d\n", modelId);
}

[[noreturn]] void failEndHmm(int modelId)
{
    std::printf("===================== WARNING: Not reading <ENDHMM>!\n");
    fatalf(1, "modelId=%d\n", modelId);
}

[[noreturn]] void failStreamNum(int streamNum)
{
    fatalf(1, "Error: stream num %d is outside 1 to %d!\n", streamNum, MAX_STREAM_NUM);
}

[[noreturn]] void failVecSize(int stream, int vecSize)
{
    fatalf(1, "Error: vecSize[%d] = %d is outside 1 to %d!\n", stream, vecSize, MAX_PARAM_NUM);
}

[[noreturn]] void failStateNum(int stateNum, int modelId, const char *name)
{
    std::printf("Error: state num %d is outside 2 to %d!\n", stateNum, MAX_STATE_NUM);
    fatalf(1, "modelId=%d (%s)\n", modelId, name);
}

[[noreturn]] void failNameLength(int modelId, const char *name)
{
    std::printf("Error: model name \"%s\" is longer than %d characters!\n", name, MAX_NAME_LEN - 1);
    fatalf(1, "modelId=%d\n", modelId);
}

[[noreturn]] void failTextLength(int modelId)
{
    std::printf("Error: a token or line is longer than %d characters!\n", MAX_STR_LEN - 1);
    if (modelId >= 0)
        std::printf("modelId=%d\n", modelId);
    fatalExit(1);
}

[[noreturn]] void failOptionLength()
{
    fatalf(1, "Error: the global option line is longer than %d characters!\n", MAX_STR_LEN - 1);
}

[[noreturn]] void failRegressionClass(int modelId)
{
    std::printf("Error: Cannot find \"~h\" after \"~r\"!\n");
    fatalf(1, "at modelId = %d\n", modelId);
}

[[noreturn]] void failUncountedModel(int modelNum)
{
    fatalf(1, "Error: a \"~h\" model header after model %d does not begin its line!\n", modelNum - 1);
}

struct fileCloser {
    void operator()(FILE *stream) const { std::fclose(stream); }
};

// The second pass: one model after the other, token by token. str1 always holds the last
// token read; where a step may already have read the keyword of the next head, the head
// takes it from str1 instead of reading.
class textMacroReader {
public:
    textMacroReader(hmmSet &set, FILE *stream) : set_(set), scan_(stream) {}

    void read()
    {
        readHeader();
        for (int m = 0; m < set_.modelNum; m++)
            readModel(m, set_.model[m]);
        if (scan_.token(str1, sizeof str1) == macroScanner::ok && is("~h"))
            failUncountedModel(set_.modelNum);
    }

private:
    bool is(const char *keyword) const { return std::strcmp(str1, keyword) == 0; }

    // Reads whose failure is not checked: the target keeps its value and the next keyword
    // test catches the malformed text. Only a field too long for its buffer is refused.
    bool token()
    {
        macroScanner::result r = scan_.token(str1, sizeof str1);
        if (r == macroScanner::tooLong)
            failTextLength(modelId_);
        return r == macroScanner::ok;
    }
    void integer(int &value) { scan_.integer(value); }
    void real(float &value) { scan_.real(value); }
    void reals(float *values, int n)
    {
        for (int v = 0; v < n; v++)
            scan_.real(values[v]);
    }

    // The head of a state, a stream or the transition matrix: its keyword, then a number.
    bool head(const char *keyword)
    {
        if (!is(keyword))
            token();
        integer(temp);
        pending_ = false;
        return is(keyword);
    }

    void readHeader()
    {
        token();   // the option macro, not looked at
        token();
        if (is("<HMMSETID>")) {
            token();
            token();
        }
        integer(set_.streamNum);
        if (set_.streamNum < 1 || set_.streamNum > MAX_STREAM_NUM)
            failStreamNum(set_.streamNum);
        for (int s = 0; s < set_.streamNum; s++) {
            integer(set_.vecSize[s]);
            if (set_.vecSize[s] < 1 || set_.vecSize[s] > MAX_PARAM_NUM)
                failVecSize(s, set_.vecSize[s]);
        }
        token();
        if (scan_.restOfLine(str2, sizeof str2) == macroScanner::tooLong)
            failTextLength(-1);
        size_t tokenLen = std::strlen(str1), restLen = std::strlen(str2);
        if (tokenLen + 1 + restLen >= sizeof set_.globalOption)
            failOptionLength();
        std::memcpy(set_.globalOption, str1, tokenLen);
        set_.globalOption[tokenLen] = ' ';
        std::memcpy(set_.globalOption + tokenLen + 1, str2, restLen + 1);
    }

    void readName(int m, hmmModel &model)
    {
        macroScanner::result r = scan_.quotedName(str2, sizeof str2);
        if (r == macroScanner::tooLong)
            failTextLength(m);
        if (r == macroScanner::ok && std::strlen(str2) >= MAX_NAME_LEN)
            failNameLength(m, str2);
        // A name that was not read leaves the previous text in str2; the <BEGINHMM> test
        // that follows reports the file, and the copy must still fit.
        size_t n = strnlen(str2, MAX_NAME_LEN - 1);
        std::memcpy(model.str, str2, n);
        model.str[n] = '\0';
    }

    void readModel(int m, hmmModel &model)
    {
        modelId_ = m;
        name_ = model.str;
        token();
        if (is("~r")) {
            do {
                if (!token())
                    failRegressionClass(m);
            } while (!is("~h"));
        }
        readName(m, model);
        token();
        if (!is("<BEGINHMM>"))
            failBeginHmm(m, str1);
        token();
        integer(model.stateNum);
        if (model.stateNum < 2 || model.stateNum > MAX_STATE_NUM)
            failStateNum(model.stateNum, m, name_);
        for (int i = 2; i <= model.stateNum - 1; i++)
            readState(model.state[i - 2], i);
        if (!head("<TRANSP>"))
            failTransp(m);
        for (int r = 0; r < model.stateNum; r++)
            reals(model.transProb[r], model.stateNum);
        token();
        if (!is("<ENDHMM>"))
            failEndHmm(m);
    }

    void readState(hmmState &state, int i)
    {
        stateId_ = i;
        head("<STATE>");
        token();
        bool weightsGiven = true;
        if (is("<NUMMIXES>")) {
            for (int s = 0; s < set_.streamNum; s++) {
                int &mixtureNum = state.stream[s].mixtureNum;
                integer(mixtureNum);
                if (mixtureNum > MAX_MIXTURE_NUM)
                    failMixtureNum(mixtureNum);
                if (mixtureNum < 0)
                    failNegativeMixtureNum(mixtureNum, modelId_, name_, i);
            }
            token();
            if (is("<SWEIGHTS>"))
                integer(temp);
            else if (is("<MIXTURE>") || is("<STREAM>"))
                weightsGiven = false;   // the token is the next head
            else
                failNumMixes(modelId_, name_, i);
        } else if (is("<SWEIGHTS>")) {
            for (int s = 0; s < set_.streamNum; s++)
                state.stream[s].mixtureNum = 1;
            integer(temp);
        } else {
            failNumMixes(modelId_, name_, i);
        }
        for (int s = 0; s < set_.streamNum; s++) {
            if (weightsGiven)
                real(state.streamWeight[s]);
            else
                state.streamWeight[s] = 1.0f;
        }
        for (int s = 0; s < set_.streamNum; s++) {
            if (set_.streamNum >= 2 && !head("<STREAM>"))
                failStream(modelId_, name_, i, str1, temp);
            readStream(state.stream[s], set_.vecSize[s]);
        }
    }

    void readStream(hmmStream &stream, int vecSize)
    {
        for (int k = 0; k < stream.mixtureNum; k++) {
            float weight = 0.0f;
            if (stream.mixtureNum <= 1) {
                weight = 1.0f;
            } else {
                if (!pending_ && !is("<MIXTURE>"))
                    token();
                pending_ = false;
                if (!is("<MIXTURE>"))
                    return;   // fewer blocks than counted: the rest stay zero
                integer(tempmixtureId);
                real(weight);
            }
            readComponent(stream.mixture[k], vecSize, weight);
        }
    }

    void readComponent(hmmMixture &mixture, int vecSize, float weight)
    {
        mixture.mixtureWeight = weight;
        token();
        integer(temp);
        if (is("<RCLASS>")) {
            token();
            integer(temp);
        }
        if (!is("<MEAN>"))
            failMean(modelId_, name_, stateId_);
        if (temp != MAX_PARAM_NUM)
            failMeanSize(temp);
        reals(mixture.mean, vecSize);
        token();
        integer(temp);
        if (temp != MAX_PARAM_NUM)
            failVarianceSize(temp);
        if (!is("<VARIANCE>"))
            failVariance(modelId_, name_, stateId_);
        reals(mixture.variance, vecSize);
        token();
        if (is("<GCONST>"))
            real(mixture.gconst);
        else
            pending_ = true;   // what stood in its place is the next head
    }

    hmmSet &set_;
    macroScanner scan_;
    char str1[MAX_STR_LEN] = "";
    char str2[MAX_STR_LEN] = "";
    int temp = 0;
    int tempmixtureId = 0;
    int modelId_ = -1;
    const char *name_ = "";
    int stateId_ = 0;
    bool pending_ = false;   // str1 holds a token that no step has used yet
};

}  // namespace

int countModelHeaders(FILE *stream)
{
    std::vector<char> buffer(1 << 20);
    const size_t pieceMax = MAX_STR_LEN - 1;
    int count = 0;
    size_t pieceLen = 0;   // characters of the current piece seen so far
    bool tilde = false;    // the current piece begins with '~'
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0) {
        const char *p = buffer.data();
        const char *end = p + got;
        while (p < end) {
            if (pieceLen < 2) {
                char c = *p++;
                if (pieceLen == 0)
                    tilde = c == '~';
                else if (tilde && c == 'h')
                    count++;
                pieceLen = (c == '\n' || ++pieceLen == pieceMax) ? 0 : pieceLen;
                continue;
            }
            size_t span = std::min(pieceMax - pieceLen, static_cast<size_t>(end - p));
            const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', span));
            if (lineEnd) {
                p = lineEnd + 1;
                pieceLen = 0;
            } else {
                p += span;
                pieceLen = (pieceLen + span == pieceMax) ? 0 : pieceLen + span;
            }
        }
    }
    return count;
}

void readTextMacroFile(hmmSet &set, const char *path)
{
    std::unique_ptr<FILE, fileCloser> stream(fileOpen(path, "r"));
    set.modelNum = countModelHeaders(stream.get());
    set.model = allocateModels(set.modelNum);
    std::rewind(stream.get());
    textMacroReader(set, stream.get()).read();
}

void macroClass::readTextMacro(const char *path)
{
    readTextMacroFile(MMF, path);
}
