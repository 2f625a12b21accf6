#include "hmm/textMacroReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "hmm/macroScanner.h"
#include "hmm/setLimits.h"
#include "utility/error.h"

namespace {

using mac2mod::error;
using mac2mod::raisef;

// Every way a text macro file is refused, each with status 1.

[[noreturn]] void failBeginHmm(int modelId, const char *str1)
{
    raisef(1, "modelId=%d, str1=%s, Cannot find \"<BEGINHMM>\"!\n", modelId, str1);
}

[[noreturn]] void failMixtureNum(int mixtureNum)
{
    raisef(1, "mixture num %d exceeds MAX_MIXTURE_NUM %d\n", mixtureNum, MAX_MIXTURE_NUM);
}

[[noreturn]] void failNegativeMixtureNum(int mixtureNum, int modelId, const char *name, int stateId)
{
    raisef(1, "Error: mixture num %d is negative!\n"
           "at modelId = %d (%s), stateId = %d\n", mixtureNum, modelId, name, stateId);
}

[[noreturn]] void failNumMixes(int modelId, const char *name, int stateId)
{
    raisef(1, "ERROR: fail to read <NUMMIXES> or <SWEIGHTS>\n"
           "at modelId = %d (%s), stateId = %d\n", modelId, name, stateId);
}

[[noreturn]] void failStream(int modelId, const char *name, int stateId, const char *str1, int temp)
{
    raisef(1, "modelId=%d (%s), stateId=%d\n"
           "str1=%s, temp=%d, Cannot find \"<STREAM>\"!\n", modelId, name, stateId, str1, temp);
}

[[noreturn]] void failMean(int modelId, const char *name, int stateId)
{
    raisef(1, "Error: Cannot find \"<MEAN>\"!\n"
           "modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
}

[[noreturn]] void failMeanSize(int size)
{
    raisef(1, "Error: MAX_PARAM_NUM = %d != %d!\n", MAX_PARAM_NUM, size);
}

[[noreturn]] void failVarianceSize(int size)
{
    raisef(1, "Error: MAX_PARAM_NUM =%d != %d!\n", MAX_PARAM_NUM, size);
}

[[noreturn]] void failVariance(int modelId, const char *name, int stateId)
{
    raisef(1, "Error: Cannot find \"<VARIANCE>\"!\n"
           "modelId=%d (%s), stateId=%d\n", modelId, name, stateId);
}

[[noreturn]] void failTransp(int modelId)
{
    raisef(1, "Error: Cannot find \"<TRANSP>\"!\n"
           "at modelId = %d\n", modelId);
}

[[noreturn]] void failEndHmm(int modelId)
{
    raisef(1, "===================== WARNING: Not reading <ENDHMM>!\n"
           "modelId=%d\n", modelId);
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

[[noreturn]] void failMissingValue(const char *what, int modelId, const char *name, int stateId,
                                   const std::string &found)
{
    std::string place = found.empty() ? "the end of the file stands"
                                      : "\"" + found + "\" stands";
    if (modelId < 0)
        raisef(1, "Error: a %s is missing in the global options: %s in its place!\n", what,
               place.c_str());
    if (stateId == 0)
        raisef(1, "Error: a %s is missing at modelId = %d (%s), <TRANSP>: %s in its place!\n",
               what, modelId, name, place.c_str());
    raisef(1, "Error: a %s is missing at modelId = %d (%s), stateId = %d: %s in its place!\n",
           what, modelId, name, stateId, place.c_str());
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
class textMacroReader {
public:
    textMacroReader(hmmSet &set, const char *path, FILE *stream)
        : set_(set), path_(path), scan_(stream) {}

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
    void integer(int &value) { converted(scan_.integer(value), "number"); }
    void real(float &value) { converted(scan_.real(value), "number"); }
    void reals(float *values, int n)
    {
        int v = 0;
        while ((v += scan_.printedReals(values + v, n - v)) < n)
            real(values[v++]);
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
        readName(m, model);
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
            reals(model.transProb[r], model.stateNum);
        token();
        if (!is("<ENDHMM>"))
            refuse([&] { failEndHmm(m); });
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
        for (int s = 0; s < set_.streamNum; s++) {
            if (weightsGiven)
                real(state.streamWeight[s]);
            else
                state.streamWeight[s] = 1.0f;
        }
        for (int s = 0; s < set_.streamNum; s++) {
            if (set_.streamNum >= 2 && !head("<STREAM>"))
                refuse([&] { failStream(modelId_, name_, i, str1, temp); });
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
            refuse([&] { failMean(modelId_, name_, stateId_); });
        if (temp != MAX_PARAM_NUM)
            refuse([&] { failMeanSize(temp); });
        reals(mixture.mean, vecSize);
        token();
        integer(temp);
        if (temp != MAX_PARAM_NUM)
            refuse([&] { failVarianceSize(temp); });
        if (!is("<VARIANCE>"))
            refuse([&] { failVariance(modelId_, name_, stateId_); });
        reals(mixture.variance, vecSize);
        token();
        if (is("<GCONST>"))
            real(mixture.gconst);
        else
            pending_ = true;   // what stood in its place is the next head
    }

    hmmSet &set_;
    const char *path_;
    macroScanner scan_;
    char str1[MAX_STR_LEN] = "";
    char str2[MAX_STR_LEN] = "";
    int temp = 0;
    int tempmixtureId = 0;
    int modelId_ = -1;
    const char *name_ = "";
    int stateId_ = 0;
    bool pending_ = false;   // str1 holds a token that no step has used yet
    missingValue missing_;
    int firstModel_ = 0;
    bool firstNameUnread_ = false;
};

}  // namespace

void headerStarts::add(long offset)
{
    if (count_++ % stride_ != 0)
        return;
    starts_.push_back({count_ - 1, offset});
    if (starts_.size() < LIMIT)
        return;
    // Every other one goes, and from now on every other header is kept.
    size_t kept = 0;
    for (size_t k = 0; k < starts_.size(); k += 2)
        starts_[kept++] = starts_[k];
    starts_.resize(kept);
    stride_ *= 2;
}

void headerStarts::append(const headerStarts &later)
{
    for (const start &s : later.starts_)
        starts_.push_back({count_ + s.model, s.offset});
    count_ += later.count_;
}

const headerStarts::start &headerStarts::nearest(int model) const
{
    auto after = std::lower_bound(starts_.begin(), starts_.end(), model,
                                  [](const start &s, int m) { return s.model < m; });
    if (after == starts_.end() || (after != starts_.begin() && model - after[-1].model < after->model - model))
        --after;
    return *after;
}

int countModelHeaders(FILE *stream, headerStarts *starts, long end)
{
    // Left unfilled: a small file touches only the little of the block that it reads.
    const size_t bufferSize = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    const size_t pieceMax = MAX_STR_LEN - 1;
    int count = 0;
    long offset = std::ftell(stream);   // of buffer[0]
    size_t pieceLen = 0;   // characters of the current piece seen so far
    bool tilde = false;    // the current piece begins with '~'
    size_t got;
    auto wanted = [&] {
        return end < 0 ? bufferSize : std::min(bufferSize, static_cast<size_t>(std::max(0L, end - offset)));
    };
    while ((got = std::fread(buffer.get(), 1, wanted(), stream)) > 0) {
        const char *p = buffer.get();
        const char *last = p + got;
        while (p < last) {
            if (pieceLen < 2) {
                char c = *p++;
                if (pieceLen == 0) {
                    tilde = c == '~';
                } else if (tilde && c == 'h') {
                    count++;
                    if (starts)
                        starts->add(offset + (p - buffer.get()) - 2);
                }
                pieceLen = (c == '\n' || ++pieceLen == pieceMax) ? 0 : pieceLen;
                continue;
            }
            size_t span = std::min(pieceMax - pieceLen, static_cast<size_t>(last - p));
            const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', span));
            if (lineEnd) {
                p = lineEnd + 1;
                pieceLen = 0;
            } else {
                p += span;
                pieceLen = (pieceLen + span == pieceMax) ? 0 : pieceLen + span;
            }
        }
        offset += static_cast<long>(got);
    }
    return count;
}


void readTextMacroPiece(hmmSet &set, const char *path, FILE *stream, int first, int last, long end,
                        const std::function<void()> &afterHeader)
{
    textMacroReader reader(set, path, stream);
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
