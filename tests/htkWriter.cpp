#include "htkWriter.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

class htkOut {
public:
    htkOut(std::string &out, bool binary, int digits, bool little)
        : out_(out), binary_(binary), digits_(digits), little_(little) {}

    void keyword(int code, const char *name)
    {
        if (binary_) {
            out_ += ':';
            out_ += static_cast<char>(code);
        } else {
            out_ += '<';
            out_ += name;
            out_ += '>';
        }
    }
    void integer(int v)
    {
        if (binary_) {
            char bytes[2] = {static_cast<char>((v >> 8) & 0xff), static_cast<char>(v & 0xff)};
            if (little_)
                std::swap(bytes[0], bytes[1]);
            out_.append(bytes, 2);
        } else {
            text(" %d", v);
        }
    }
    void real(float v)
    {
        if (binary_) {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            for (int k = 0; k < 4; k++)
                out_ += static_cast<char>((bits >> (little_ ? 8 * k : 24 - 8 * k)) & 0xff);
        } else {
            text(" %.*e", digits_, static_cast<double>(v));
        }
    }
    void lineEnd()
    {
        if (!binary_)
            out_ += '\n';
    }
    void reals(const float *v, int n)
    {
        for (int k = 0; k < n; k++)
            real(v[k]);
        lineEnd();
    }
    void text(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        char buffer[256];
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        out_.append(buffer, n);
    }
    void raw(const std::string &s) { out_ += s; }
    bool binary() const { return binary_; }

private:
    std::string &out_;
    bool binary_;
    int digits_;
    bool little_;
};

void transP(htkOut &o, const hmmModel &model)
{
    o.keyword(27, "TRANSP");
    o.integer(model.stateNum);
    o.lineEnd();
    for (int r = 0; r < model.stateNum; r++)
        o.reals(model.transProb[r], model.stateNum);
}

std::string matrixKey(const hmmModel &model)
{
    std::string key(reinterpret_cast<const char *>(&model.stateNum), sizeof model.stateNum);
    for (int r = 0; r < model.stateNum; r++)
        key.append(reinterpret_cast<const char *>(model.transProb[r]), sizeof(float) * model.stateNum);
    return key;
}

}  // namespace

std::string htkText(const hmmSet &set, const htkForm &form)
{
    std::string out;
    out.reserve(static_cast<size_t>(set.modelNum) * 12000 + 1000);
    htkOut o(out, form.binary, form.digits, form.littleEndian);
    o.raw("~o\n");
    o.keyword(5, "STREAMINFO");
    o.integer(set.streamNum);
    int total = 0;
    for (int s = 0; s < set.streamNum; s++) {
        o.integer(set.vecSize[s]);
        total += set.vecSize[s];
    }
    o.lineEnd();
    o.keyword(6, "VECSIZE");
    o.integer(total);
    o.keyword(7, "NULLD");
    o.raw(std::string("<") + form.kind + "><DIAGC>");
    o.lineEnd();

    std::map<std::string, int> matrices;
    if (form.transMacros)
        for (int m = 0; m < set.modelNum; m++) {
            std::string key = matrixKey(set.model[m]);
            if (matrices.count(key))
                continue;
            int n = static_cast<int>(matrices.size()) + 1;
            matrices[key] = n;
            o.text("~t \"tr%d\"", n);
            o.lineEnd();
            transP(o, set.model[m]);
        }
    for (int m = 0; m < set.modelNum; m++) {
        const hmmModel &model = set.model[m];
        o.text("~h \"%s\"", model.str);
        o.lineEnd();
        o.keyword(0, "BEGINHMM");
        o.lineEnd();
        o.keyword(4, "NUMSTATES");
        o.integer(model.stateNum);
        o.lineEnd();
        for (int e = 0; e < model.stateNum - 2; e++) {
            const hmmState &state = model.state[e];
            o.keyword(15, "STATE");
            o.integer(e + 2);
            o.lineEnd();
            bool several = false;
            for (int s = 0; s < set.streamNum; s++)
                several = several || state.stream[s].mixtureNum > 1;
            if (several || form.numMixesAlways) {
                o.keyword(3, "NUMMIXES");
                for (int s = 0; s < set.streamNum; s++)
                    o.integer(state.stream[s].mixtureNum);
                o.lineEnd();
            }
            if (form.streamWeights) {
                o.keyword(19, "SWEIGHTS");
                o.integer(set.streamNum);
                o.lineEnd();
                o.reals(state.streamWeight, set.streamNum);
            }
            for (int s = 0; s < set.streamNum; s++) {
                if (set.streamNum > 1) {
                    o.keyword(18, "STREAM");
                    o.integer(s + 1);
                    o.lineEnd();
                }
                const hmmStream &stream = state.stream[s];
                for (int k = 0; k < stream.mixtureNum; k++) {
                    const hmmMixture &mix = stream.mixture[k];
                    if (stream.mixtureNum > 1) {
                        o.keyword(17, "MIXTURE");
                        o.integer(k + 1);
                        o.real(mix.mixtureWeight);
                        o.lineEnd();
                    }
                    o.keyword(20, "MEAN");
                    o.integer(set.vecSize[s]);
                    o.lineEnd();
                    o.reals(mix.mean, set.vecSize[s]);
                    o.keyword(21, "VARIANCE");
                    o.integer(set.vecSize[s]);
                    o.lineEnd();
                    o.reals(mix.variance, set.vecSize[s]);
                    if (form.gconstOwnLine)
                        o.raw("\n");
                    o.keyword(24, "GCONST");
                    o.real(mix.gconst);
                    o.lineEnd();
                }
            }
        }
        if (form.transMacros) {
            o.text("~t \"tr%d\"", matrices[matrixKey(model)]);
            o.lineEnd();
        } else {
            transP(o, model);
        }
        o.keyword(2, "ENDHMM");
        o.lineEnd();
    }
    return out;
}

void writeHtk(const hmmSet &set, const std::string &path, const htkForm &form)
{
    std::string bytes = htkText(set, form);
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
