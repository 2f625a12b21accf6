#include "hmm/textMacroReader.h"

#include <cstring>
#include <functional>
#include <string>

#include "hmm/fieldObserver.h"
#include "hmm/macroScanner.h"
#include "hmm/setLimits.h"
#include "hmm/textMacroRefusals.h"
#include "utility/error.h"

namespace {

using mac2mod::error;
using mac2mod::raisef;
using namespace textMacroRefusals;

// The other ways a text macro file is refused, each with status 1.

[[noreturn]] void failMixtureNum(int mixtureNum)
{
    raisef(1, "mixture num %d exceeds MAX_MIXTURE_NUM %d\n", mixtureNum, MAX_MIXTURE_NUM);
}

[[noreturn]] void failNegativeMixtureNum(int mixtureNum, int modelId, const char *name, int stateId)
{
    raisef(1, "Error: mixture num %d is negative!\n"
           "at modelId = %d (%s), stateId = %d\n", mixtureNum, modelId, name, stateId);
}

[[noreturn]] void failStreamNum(int streamNum)
{
    raisef(1, "Error: stream num %d is outside 1 to %d!\n", streamNum, MAX_STREAM_NUM);
}

[[noreturn]] void failVecSize(int stream, int vecSize)
{
    raisef(1, "Error: vecSize[%d] = %d is outside 1 to %d!\n", stream, vecSize, MAX_PARAM_NUM);
}

[[noreturn]] void failStateNum(int stateNum, int modelId, const char *name)
{
    raisef(1, "Error: state num %d is outside 2 to %d!\n"
           "modelId=%d (%s)\n", stateNum, MAX_STATE_NUM, modelId, name);
}

[[noreturn]] void failNameLength(int modelId, const char *name)
{
    raisef(1, "Error: model name \"%s\" is longer than %d characters!\n"
           "modelId=%d\n", name, MAX_NAME_LEN - 1, modelId);
}

[[noreturn]] void failTextLength(int modelId)
{
    if (modelId >= 0)
        raisef(1, "Error: a token or line is longer than %d characters!\nmodelId=%d\n",
               MAX_STR_LEN - 1, modelId);
    raisef(1, "Error: a token or line is longer than %d characters!\n", MAX_STR_LEN - 1);
}

[[noreturn]] void failOptionLength()
{
    raisef(1, "Error: the global option line is longer than %d characters!\n", MAX_STR_LEN - 1);
}

[[noreturn]] void failRegressionClass(int modelId)
{
    raisef(1, "Error: Cannot find \"~h\" after \"~r\"!\n"
           "at modelId = %d\n", modelId);
}

[[noreturn]] void failUncountedModel(int modelNum)
{
    raisef(1, "Error: a \"~h\" model header after model %d does not begin its line!\n", modelNum - 1);
}

// The second pass: one model after the other, token by token. str1 always holds the last
// token read; where a step may already have read the keyword of the next head, the head
// takes it from str1 instead of reading.
//
// A number that does not convert leaves its target as it was and the read goes on, so that
// the keyword check it upsets reports the file; when no check fails, the first such number
// is refused once the models are read. So no model is ever built from a value left from
// before, and a read of part of the file gives exactly what the whole read gives for its
// models, or fails. (A model without a name keeps the name before it, as str2 holds it.)
// An observer is told each value where it is stored, with the place its text began.
class textMacroReader {
public:
    textMacroReader(hmmSet &set, const char *path, FILE *stream, fieldObserver *observer)
        : set_(set), path_(path), scan_(stream), observer_(observer)
    {
        scan_.tap(observer);
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
        if (!withinCapacity(capacity::streams, set_.streamNum, 1))
            refuse([&] { failStreamNum(set_.streamNum); });
        for (int s = 0; s < set_.streamNum; s++) {
            integer(set_.vecSize[s]);
            if (!withinCapacity(capacity::vectorSize, set_.vecSize[s], 1))
                refuse([&] { failVecSize(s, set_.vecSize[s]); });
        }
        token();
        if (scan_.restOfLine(str2, sizeof str2) == macroScanner::tooLong)
            refuse([&] { failTextLength(-1); });
        size_t tokenLen = std::strlen(str1), restLen = std::strlen(str2);
        if (tokenLen + 1 + restLen >= sizeof set_.globalOption)
            refuse([&] { failOptionLength(); });
        std::memcpy(set_.globalOption, str1, tokenLen);
        set_.globalOption[tokenLen] = ' ';
        std::memcpy(set_.globalOption + tokenLen + 1, str2, restLen + 1);
    }

    void readModels(int first, int last)
    {
        firstModel_ = first;
        for (int m = first; m < last; m++)
            readModel(m, set_.model[m]);
        if (observer_)
            observer_->end(scan_.offset());
    }
    // After the last counted model: a "~h" there began no line, and its model would be lost.
    void checkNothingUncounted()
    {
        if (scan_.token(str1, sizeof str1) == macroScanner::ok && is("~h"))
            refuse([&] { failUncountedModel(set_.modelNum); });
    }
    // Only white space may lie between the end of a piece and the start of the next.
    void checkEndsAt(long offset)
    {
        long reached = scan_.skipToToken();
        if (reached != offset)
            raisef(1, "Error: text between the models at byte %ld!\n", reached);
    }
    // The name a model without one takes from the model before it is known only to a read
    // that began before that model.
    bool firstNameUnread() const { return firstNameUnread_; }
    void refuseMissingValue()
    {
        if (missing_.what)
            throw error(missing_.message).at(path_, missing_.offset);
    }

private:
    bool is(const char *keyword) const { return std::strcmp(str1, keyword) == 0; }

    // Runs a report, which throws; the error is placed at the token the read stopped at.
    template <class Report>
    void refuse(Report report)
    {
        try {
            report();
        } catch (error &e) {
            throw e.at(path_, scan_.lastStart());
        }
    }

    // The first value that did not convert: its place, and the message for it, made at
    // once while the model and state are known; what stood there is the next token read.
    struct missingValue {
        const char *what = nullptr;
        long offset = -1;
        bool seen = false;   // the token in its place has been read
        int modelId = 0, stateId = 0;
        std::string name, message;
    };
    void converted(macroScanner::result r, const char *what)
    {
        if (r != macroScanner::failed || missing_.what)
            return;
        missing_.what = what;
        missing_.offset = scan_.lastStart();
        missing_.modelId = modelId_;
        missing_.stateId = stateId_;
        missing_.name = name_;
        describeMissing("");
    }
    void describeMissing(const std::string &found)
    {
        try {
            failMissingValue(missing_.what, missing_.modelId, missing_.name.c_str(),
                             missing_.stateId, found);
        } catch (const error &e) {
            missing_.message = e.message();
        }
    }

    bool token()
    {
        macroScanner::result r = scan_.token(str1, sizeof str1);
        if (r == macroScanner::tooLong)
            refuse([&] { failTextLength(modelId_); });
        if (missing_.what && !missing_.seen) {
            missing_.seen = true;
            if (r == macroScanner::ok)
                describeMissing(str1);
        }
        return r == macroScanner::ok;
    }
    bool integer(int &value)
    {
        macroScanner::result r = scan_.integer(value);
        converted(r, "number");
        return r == macroScanner::ok;
    }
    void real(float &value) { converted(scan_.real(value), "number"); }
    // n values of field from element first on.
    void reals(float *values, int n, fieldKind field, int first = 0)
    {
        if (observer_) {   // one at a time, each with its place
            for (int v = 0; v < n; v++) {
                real(values[v]);
                tell(field, values[v], first + v);
            }
            return;
        }
        int v = 0;
        while ((v += scan_.printedReals(values + v, n - v)) < n)
            real(values[v++]);
    }
    // The value just read, to the observer.
    void tell(fieldKind field, float value, int element = -1)
    {
        if (!observer_)
            return;
        valueSite site{field, modelId_, stateId_ - 2, streamId_, mixtureId_, element};
        if (field == fieldKind::transition)
            site.state = site.stream = site.mixture = -1;
        else if (field == fieldKind::streamWeight)
            site.mixture = -1;
        observer_->value(site, value, scan_.lastStart());
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

    void readName(int m, hmmModel &model)
    {
        macroScanner::result r = scan_.quotedName(str2, sizeof str2);
        if (r == macroScanner::tooLong)
            refuse([&] { failTextLength(m); });
        if (r == macroScanner::failed && m == firstModel_)
            firstNameUnread_ = true;
        if (r == macroScanner::ok && std::strlen(str2) >= MAX_NAME_LEN)
            refuse([&] { failNameLength(m, str2); });
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
        stateId_ = 0;
        token();
        if (is("~r")) {
            do {
                if (!token())
                    refuse([&] { failRegressionClass(m); });
            } while (!is("~h"));
        }
        const long headerAt = scan_.lastStart();
        readName(m, model);
        if (observer_)
            observer_->model(m, headerAt);
        token();
        if (!is("<BEGINHMM>"))
            refuse([&] { failBeginHmm(m, str1); });
        token();
        integer(model.stateNum);
        if (!withinCapacity(capacity::states, model.stateNum, 2))
            refuse([&] { failStateNum(model.stateNum, m, name_); });
        for (int i = 2; i <= model.stateNum - 1; i++)
            readState(model.state[i - 2], i);
        stateId_ = 0;
        if (!head("<TRANSP>"))
            refuse([&] { failTransp(m); });
        for (int r = 0; r < model.stateNum; r++)
            reals(model.transProb[r], model.stateNum, fieldKind::transition, r * MAX_STATE_NUM);
        token();
        if (!is("<ENDHMM>"))
            refuse([&] { failEndHmm(m); });
    }

    void readState(hmmState &state, int i)
    {
        stateId_ = i;
        head("<STATE>");
        token();
        const long countsAt = scan_.lastStart();
        bool weightsGiven = true;
        if (is("<NUMMIXES>")) {
            for (int s = 0; s < set_.streamNum; s++) {
                int &mixtureNum = state.stream[s].mixtureNum;
                integer(mixtureNum);
                if (mixtureNum > capacityOf(capacity::mixtures))
                    refuse([&] { failMixtureNum(mixtureNum); });
                if (mixtureNum < 0)
                    refuse([&] { failNegativeMixtureNum(mixtureNum, modelId_, name_, i); });
            }
            token();
            if (is("<SWEIGHTS>"))
                integer(temp);
            else if (is("<MIXTURE>") || is("<STREAM>"))
                weightsGiven = false;   // the token is the next head
            else
                refuse([&] { failNumMixes(modelId_, name_, i); });
        } else if (is("<SWEIGHTS>")) {
            for (int s = 0; s < set_.streamNum; s++)
                state.stream[s].mixtureNum = 1;
            integer(temp);
        } else {
            refuse([&] { failNumMixes(modelId_, name_, i); });
        }
        for (streamId_ = 0; streamId_ < set_.streamNum; streamId_++) {
            if (!weightsGiven) {
                state.streamWeight[streamId_] = 1.0f;
                continue;
            }
            real(state.streamWeight[streamId_]);
            tell(fieldKind::streamWeight, state.streamWeight[streamId_]);
        }
        for (streamId_ = 0; streamId_ < set_.streamNum; streamId_++) {
            if (set_.streamNum >= 2 && !head("<STREAM>"))
                refuse([&] { failStream(modelId_, name_, i, str1, temp); });
            int given = readStream(state.stream[streamId_], set_.vecSize[streamId_]);
            if (observer_)
                observer_->stream(modelId_, i - 2, streamId_, given, countsAt);
        }
    }

    // Returns how many components the file gave.
    int readStream(hmmStream &stream, int vecSize)
    {
        for (mixtureId_ = 0; mixtureId_ < stream.mixtureNum; mixtureId_++) {
            float weight = 0.0f;
            if (stream.mixtureNum <= 1) {
                weight = 1.0f;
            } else {
                if (!pending_ && !is("<MIXTURE>"))
                    token();
                pending_ = false;
                if (!is("<MIXTURE>"))
                    return mixtureId_;   // fewer blocks than counted: the rest stay zero
                // One fscanf call, "%d %e": once the number fails the weight is not tried,
                // and what stood there is left to the read of the next keyword.
                if (integer(tempmixtureId)) {
                    real(weight);
                    tell(fieldKind::mixtureWeight, weight);
                }
            }
            readComponent(stream.mixture[mixtureId_], vecSize, weight);
        }
        return stream.mixtureNum;
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
            refuse([&] { failMean(modelId_, name_, stateId_); });
        if (temp != MAX_PARAM_NUM)
            refuse([&] { failMeanSize(temp); });
        reals(mixture.mean, vecSize, fieldKind::mean);
        token();
        integer(temp);
        if (temp != MAX_PARAM_NUM)
            refuse([&] { failVarianceSize(temp); });
        if (!is("<VARIANCE>"))
            refuse([&] { failVariance(modelId_, name_, stateId_); });
        reals(mixture.variance, vecSize, fieldKind::variance);
        token();
        if (is("<GCONST>")) {
            real(mixture.gconst);
            tell(fieldKind::gconst, mixture.gconst);
        } else {
            pending_ = true;   // what stood in its place is the next head
        }
    }

    hmmSet &set_;
    const char *path_;
    macroScanner scan_;
    fieldObserver *observer_;
    char str1[MAX_STR_LEN] = "";
    char str2[MAX_STR_LEN] = "";
    int temp = 0;
    int tempmixtureId = 0;
    int modelId_ = -1;
    const char *name_ = "";
    int stateId_ = 0;
    int streamId_ = 0, mixtureId_ = 0;   // of the value being read
    bool pending_ = false;   // str1 holds a token that no step has used yet
    missingValue missing_;
    int firstModel_ = 0;
    bool firstNameUnread_ = false;
};

}  // namespace

void readTextMacroPiece(hmmSet &set, const char *path, FILE *stream, int first, int last, long end,
                        const std::function<void()> &afterHeader, fieldObserver *observer)
{
    textMacroReader reader(set, path, stream, observer);
    if (first == 0)
        reader.readHeader();
    if (afterHeader)
        afterHeader();
    reader.readModels(first, last);
    if (first > 0 && reader.firstNameUnread())
        raisef(1, "Error: model %d has no name of its own!\n", first);
    if (end >= 0)
        reader.checkEndsAt(end);
    else
        reader.checkNothingUncounted();
    reader.refuseMissingValue();
}
