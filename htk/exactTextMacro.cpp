#include "htk/exactTextMacro.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "hmm/setLimits.h"

namespace mac2mod {

namespace {

void put(std::string &out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void put(std::string &out, const char *format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0)
        out.append(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}

// Nine significant digits: every float reads back as itself.
void putValues(std::string &out, const float *values, int n)
{
    for (int i = 0; i < n; i++)
        put(out, " %.9g", static_cast<double>(values[i]));
    out += '\n';
}

void check(const hmmSet &set)
{
    if (set.streamNum < 1 || set.streamNum > MAX_STREAM_NUM)
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
        if (model.stateNum < 2 || model.stateNum > MAX_STATE_NUM)
            raisef(1, "model %d: %d states; the set holds 2 to %d\n", m, model.stateNum, MAX_STATE_NUM);
        for (int e = 0; e < model.stateNum - 2; e++)
            for (int s = 0; s < set.streamNum; s++) {
                int k = model.state[e].stream[s].mixtureNum;
                if (k < 1 || k > MAX_MIXTURE_NUM)
                    raisef(1, "model %d, state %d, stream %d: %d components; the text form holds 1 to %d\n", m,
                           e + 2, s + 1, k, MAX_MIXTURE_NUM);
            }
    }
    if (std::strchr(set.globalOption, '\n') || strnlen(set.globalOption, MAX_STR_LEN) >= MAX_STR_LEN)
        raisef(1, "the global option line cannot be written in the text form\n");
}

}  // namespace

std::string exactTextMacro(const macroClass &macro)
{
    const hmmSet &set = macro.MMF;
    check(set);
    std::string out;
    out.reserve(static_cast<size_t>(set.modelNum) * 4096 + 256);
    out += "~o\n";
    put(out, "<STREAMINFO> %d", set.streamNum);
    for (int s = 0; s < set.streamNum; s++)
        put(out, " %d", set.vecSize[s]);
    out += '\n';
    if (set.globalOption[0])
        out += set.globalOption;
    else
        put(out, "<VECSIZE> %d<NULLD><USER><DIAGC>", set.vecSize[0] * set.streamNum);
    out += '\n';
    for (int m = 0; m < set.modelNum; m++) {
        const hmmModel &model = set.model[m];
        std::string_view name = modelName(model);
        out += "~h \"";
        out.append(name.data(), name.size());
        out += "\"\n<BEGINHMM>\n";
        put(out, "<NUMSTATES> %d\n", model.stateNum);
        for (int e = 0; e < model.stateNum - 2; e++) {
            const hmmState &state = model.state[e];
            put(out, "<STATE> %d\n", e + 2);
            bool allOne = true;
            for (int s = 0; s < set.streamNum; s++)
                allOne = allOne && state.stream[s].mixtureNum == 1;
            if (!allOne) {
                out += "<NUMMIXES>";
                for (int s = 0; s < set.streamNum; s++)
                    put(out, " %d", state.stream[s].mixtureNum);
                out += '\n';
            }
            put(out, "<SWEIGHTS> %d\n", set.streamNum);
            putValues(out, state.streamWeight, set.streamNum);
            for (int s = 0; s < set.streamNum; s++) {
                if (set.streamNum > 1)
                    put(out, "<STREAM> %d\n", s + 1);
                const hmmStream &stream = state.stream[s];
                for (int k = 0; k < stream.mixtureNum; k++) {
                    const hmmMixture &mixture = stream.mixture[k];
                    // The reader gives a one-component stream the weight 1.0 and reads no header.
                    if (stream.mixtureNum > 1)
                        put(out, "<MIXTURE> %d %.9g\n", k + 1, static_cast<double>(mixture.mixtureWeight));
                    put(out, "<MEAN> %d\n", set.vecSize[s]);
                    putValues(out, mixture.mean, set.vecSize[s]);
                    put(out, "<VARIANCE> %d\n", set.vecSize[s]);
                    putValues(out, mixture.variance, set.vecSize[s]);
                    put(out, "<GCONST> %.9g\n", static_cast<double>(mixture.gconst));
                }
            }
        }
        put(out, "<TRANSP> %d\n", model.stateNum);
        for (int r = 0; r < model.stateNum; r++)
            putValues(out, model.transProb[r], model.stateNum);
        out += "<ENDHMM>\n";
    }
    return out;
}

void writeExactTextMacro(const macroClass &set, const std::string &path)
{
    std::string text = exactTextMacro(set);
    // A name of this process and call beside the target, created new (the umask applies).
    static std::atomic<unsigned> calls{0};
    std::string temporary = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(calls++);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        raisef(-1, "Error: cannot write \"%s\".\n", path.c_str());
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        raisef(-1, "Error: cannot write \"%s\".\n", path.c_str());
    }
}

}  // namespace mac2mod
