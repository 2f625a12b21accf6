#include "hmm/textMacroReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "hmm/macroScanner.h"
#include "hmm/modelArray.h"
#include "hmm/readPosition.h"
#include "utility/fatal.h"
#include "utility/fileUtil.h"

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

// Thrown by a reader that reads part of a file alongside others, in place of a message.
struct pieceFailed {};

// The second pass: one model after the other, token by token. str1 always holds the last
// token read; where a step may already have read the keyword of the next head, the head
// takes it from str1 instead of reading.
//
// A quiet reader reads a piece of the file in parallel with others: any read that fails, and
// any message it would print, abandons the piece instead (pieceFailed). Where no read fails,
// no step looks at a value left from before, so a piece gives exactly what the whole read
// gives for its models.
class textMacroReader {
public:
    textMacroReader(hmmSet &set, const char *path, FILE *stream, bool quiet)
        : set_(set), path_(path), scan_(stream), quiet_(quiet) {}

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
            refuse([&] { failStreamNum(set_.streamNum); });
        for (int s = 0; s < set_.streamNum; s++) {
            integer(set_.vecSize[s]);
            if (set_.vecSize[s] < 1 || set_.vecSize[s] > MAX_PARAM_NUM)
                refuse([&] { failVecSize(s, set_.vecSize[s]); });
        }
        token();
        if (checked(scan_.restOfLine(str2, sizeof str2)) == macroScanner::tooLong)
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
        for (int m = first; m < last; m++)
            readModel(m, set_.model[m]);
    }
    // After the last counted model: a "~h" there began no line, and its model would be lost.
    void checkNothingUncounted()
    {
        if (scan_.token(str1, sizeof str1) == macroScanner::ok && is("~h"))
            refuse([&] { failUncountedModel(set_.modelNum); });
    }
    // Only white space may lie between the end of this piece and the start of the next.
    void checkEndsAt(long offset)
    {
        if (scan_.skipToToken() != offset)
            throw pieceFailed{};
    }

private:
    bool is(const char *keyword) const { return std::strcmp(str1, keyword) == 0; }

    template <class Report>
    void refuse(Report report)
    {
        if (quiet_)
            throw pieceFailed{};
        setReadPosition(path_, scan_.lastStart(), false);
        report();
    }
    macroScanner::result checked(macroScanner::result r)
    {
        if (r != macroScanner::ok && quiet_)
            throw pieceFailed{};
        return r;
    }

    // Reads whose failure is not checked: the target keeps its value and the next keyword
    // test catches the malformed text. Only a field too long for its buffer is refused.
    bool token()
    {
        macroScanner::result r = checked(scan_.token(str1, sizeof str1));
        if (r == macroScanner::tooLong)
            refuse([&] { failTextLength(modelId_); });
        return r == macroScanner::ok;
    }
    void integer(int &value) { checked(scan_.integer(value)); }
    void real(float &value) { checked(scan_.real(value)); }
    void reals(float *values, int n)
    {
        int v = 0;
        while ((v += scan_.printedReals(values + v, n - v)) < n)
            checked(scan_.real(values[v++]));
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
        macroScanner::result r = checked(scan_.quotedName(str2, sizeof str2));
        if (r == macroScanner::tooLong)
            refuse([&] { failTextLength(m); });
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
        if (model.stateNum < 2 || model.stateNum > MAX_STATE_NUM)
            refuse([&] { failStateNum(model.stateNum, m, name_); });
        for (int i = 2; i <= model.stateNum - 1; i++)
            readState(model.state[i - 2], i);
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
                if (mixtureNum > MAX_MIXTURE_NUM)
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
    bool quiet_;
};


}  // namespace

int countModelHeaders(FILE *stream, std::vector<long> *starts, long end)
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
                        starts->push_back(offset + (p - buffer.get()) - 2);
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

namespace {

// The offset just after the first line end at or after offset, or -1 when there is none.
long lineStartAfter(FILE *stream, long offset)
{
    if (std::fseek(stream, offset, SEEK_SET) != 0)
        return -1;
    for (int c; (c = std::getc(stream)) != EOF; offset++)
        if (c == '\n')
            return offset + 1;
    return -1;
}

// The counting pass is a read of the whole file: with split, the halves before and after the
// first line start past the middle are counted side by side (every line start is a piece
// start, so each half counts exactly the pieces the whole count finds in it).
int countHeaders(FILE *stream, const char *path, std::vector<long> &starts, bool split)
{
    const long origin = std::ftell(stream);
    uniqueFile second(split ? std::fopen(path, "r") : nullptr);
    long middle = -1;
    if (second && std::fseek(second.get(), 0, SEEK_END) == 0)
        middle = lineStartAfter(second.get(), (origin + std::ftell(second.get())) / 2);
    if (middle < 0)
        return countModelHeaders(stream, &starts);
    std::vector<long> secondStarts;
    int secondCount = 0;
    std::thread counter([&] { secondCount = countModelHeaders(second.get(), &secondStarts); });
    int count = countModelHeaders(stream, &starts, middle);
    counter.join();
    starts.insert(starts.end(), secondStarts.begin(), secondStarts.end());
    return count + secondCount;
}

// Reads the models of [starts[first], starts[last]) quietly from a stream of its own; the
// header has been read already.
void readPiece(hmmSet &set, const char *path, const std::vector<long> &starts, int first, int last)
{
    uniqueFile stream(std::fopen(path, "r"));
    if (!stream || std::fseek(stream.get(), starts[first], SEEK_SET) != 0)
        throw pieceFailed{};
    textMacroReader reader(set, path, stream.get(), true);
    reader.readModels(first, last);
    if (last < set.modelNum)
        reader.checkEndsAt(starts[last]);
    else
        reader.checkNothingUncounted();
}

// The models split into pieces read side by side, one per core, each starting at its first
// model's "~h" line. False when any piece failed: nothing is reported then, and the caller
// reads the whole file again in order, so the first fault in the file gets its message.
bool readInPieces(hmmSet &set, FILE *stream, const char *path, const std::vector<long> &starts, int pieces)
{
    const int modelNum = set.modelNum;
    std::vector<int> bounds;
    for (int k = 0; k <= pieces; k++)
        bounds.push_back(static_cast<int>(static_cast<long long>(modelNum) * k / pieces));
    std::vector<std::thread> threads;
    std::vector<char> failed(pieces, 0);
    try {
        textMacroReader first(set, path, stream, true);
        first.readHeader();
        for (int k = 1; k < pieces; k++) {
            try {
                threads.emplace_back([&, k] {
                    try {
                        readPiece(set, path, starts, bounds[k], bounds[k + 1]);
                    } catch (const pieceFailed &) {
                        failed[k] = 1;
                    }
                });
            } catch (const std::system_error &) {
                failed[k] = 1;   // no thread to be had: the whole read runs in order
            }
        }
        first.readModels(0, bounds[1]);
        first.checkEndsAt(starts[bounds[1]]);
    } catch (const pieceFailed &) {
        failed[0] = 1;
    }
    for (std::thread &thread : threads)
        thread.join();
    return std::find(failed.begin(), failed.end(), 1) == failed.end();
}

}  // namespace

void readTextMacroFile(hmmSet &set, const char *path, int pieces)
{
    uniqueFile stream(fileOpen(path, "r"));
    const int cores = static_cast<int>(std::min(4u, std::thread::hardware_concurrency()));
    std::vector<long> starts;
    bool split = pieces > 1 || (pieces == 0 && cores > 1 && streamSize(stream.get()) >= (4 << 20));
    set.modelNum = countHeaders(stream.get(), path, starts, split);
    set.model = allocateModels(set.modelNum);
    if (pieces == 0)
        pieces = set.modelNum >= 100 ? cores : 1;
    pieces = std::min(pieces, set.modelNum);
    std::rewind(stream.get());
    if (pieces > 1) {
        if (readInPieces(set, stream.get(), path, starts, pieces))
            return;
        // A fresh zero-filled array, not a memset: the pieces wrote only the models they read,
        // and filling the whole array would touch every page of a set of many "~h" lines.
        // Allocated before the old one goes, so the set never holds a freed array.
        hmmModel *fresh = allocateModels(set.modelNum);
        std::free(set.model);
        set.model = fresh;
        set.streamNum = 0;
        std::fill(std::begin(set.vecSize), std::end(set.vecSize), 0);
        set.globalOption[0] = '\0';
        std::rewind(stream.get());
    }
    textMacroReader reader(set, path, stream.get(), false);
    reader.readHeader();
    reader.readModels(0, set.modelNum);
    reader.checkNothingUncounted();
}

void macroClass::readTextMacro(const char *path)
{
    readTextMacroFile(MMF, path);
}
