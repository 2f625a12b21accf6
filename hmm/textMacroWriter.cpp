#include "hmm/textMacroWriter.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "hmm/setLimits.h"
#include "utility/outputFile.h"

namespace {

// Text gathered in blocks for the file. Numbers go through std::to_chars, which gives the
// digits printf gives for the same conversion (C++17 [utility.to.chars]) without its format
// parsing and locale: the bytes of "%d", "%e" and "%.9g" at a fraction of the cost.
class textSink {
public:
    explicit textSink(outputFile &file) : file_(file) {}

    textSink &operator<<(std::string_view text)
    {
        if (text.size() > static_cast<size_t>(end() - at_)) {
            flush();
            if (text.size() > sizeof buffer_) {
                file_.write(text.data(), text.size());
                return *this;
            }
        }
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
        return *this;
    }
    textSink &operator<<(char c)
    {
        room(1);
        *at_++ = c;
        return *this;
    }
    textSink &operator<<(int value)
    {
        room(16);
        at_ = std::to_chars(at_, end(), value).ptr;
        return *this;
    }
    void real(double value, std::chars_format format, int precision)
    {
        room(64);   // "-1.17549435e-38" and the like; the longest "%e" of a float is 14 bytes
        at_ = std::to_chars(at_, end(), value, format, precision).ptr;
    }
    void flush()
    {
        file_.write(buffer_, static_cast<size_t>(at_ - buffer_));
        at_ = buffer_;
    }

private:
    char *end() { return buffer_ + sizeof buffer_; }
    void room(size_t n)
    {
        if (static_cast<size_t>(end() - at_) < n)
            flush();
    }

    outputFile &file_;
    char buffer_[1 << 16];
    char *at_ = buffer_;
};

class textWalk {
public:
    textWalk(outputFile &file, const hmmSet &set, textDialect dialect)
        : out_(file), set_(set), exact_(dialect == textDialect::exact)
    {
    }

    void set();

private:
    void real(double value)
    {
        if (exact_)
            out_.real(value, std::chars_format::general, 9);
        else
            out_.real(value, std::chars_format::scientific, 6);
    }
    // One vector or matrix row: a blank before every element, a line end after the last.
    void vector(const float *values, int n)
    {
        for (int i = 0; i < n; i++) {
            out_ << ' ';
            real(values[i]);
        }
        out_ << '\n';
    }
    void options();
    void model(const hmmModel &model);
    void state(const hmmState &state);
    void streamWeights(const hmmState &state);
    void mixture(const hmmMixture &mixture, int k, int width, bool header);

    textSink out_;
    const hmmSet &set_;
    const bool exact_;
};

void textWalk::set()
{
    out_ << "~o\n<STREAMINFO> " << set_.streamNum;
    for (int s = 0; s < set_.streamNum; s++)
        out_ << ' ' << set_.vecSize[s];
    out_ << '\n';
    options();
    for (int m = 0; m < set_.modelNum; m++)
        model(set_.model[m]);
    out_.flush();
}

void textWalk::options()
{
    const std::string_view given(set_.globalOption, strnlen(set_.globalOption, MAX_STR_LEN));
    if (exact_ && given.empty())
        out_ << "<VECSIZE> " << set_.vecSize[0] * set_.streamNum << "<NULLD><USER><DIAGC>";
    else
        out_ << given;
    out_ << '\n';
}

void textWalk::model(const hmmModel &model)
{
    out_ << "~h \"" << modelName(model) << "\"\n<BEGINHMM>\n<NUMSTATES> " << model.stateNum << '\n';
    for (int e = 0; e < model.stateNum - 2; e++) {
        out_ << "<STATE> " << e + 2 << '\n';
        state(model.state[e]);
    }
    out_ << "<TRANSP> " << model.stateNum << '\n';
    for (int r = 0; r < model.stateNum; r++)
        vector(model.transProb[r], model.stateNum);
    out_ << "<ENDHMM>\n";
}

void textWalk::state(const hmmState &state)
{
    // The exact form leaves out what the reader takes without it: a count of 1 everywhere.
    bool counts = !exact_;
    for (int s = 0; s < set_.streamNum; s++)
        counts = counts || state.stream[s].mixtureNum != 1;
    if (counts) {
        out_ << "<NUMMIXES>";
        for (int s = 0; s < set_.streamNum; s++)
            out_ << ' ' << state.stream[s].mixtureNum;
        out_ << '\n';
    }
    streamWeights(state);
    for (int s = 0; s < set_.streamNum; s++) {
        if (set_.streamNum > 1)
            out_ << "<STREAM> " << s + 1 << '\n';
        const hmmStream &stream = state.stream[s];
        // The reader gives a one-component stream the weight 1.0 and reads no header.
        const bool headers = !exact_ || stream.mixtureNum > 1;
        for (int k = 0; k < stream.mixtureNum; k++)
            mixture(stream.mixture[k], k, set_.vecSize[s], headers);
    }
}

void textWalk::streamWeights(const hmmState &state)
{
    out_ << "<SWEIGHTS> " << set_.streamNum;
    if (exact_) {
        out_ << '\n';
        vector(state.streamWeight, set_.streamNum);
        return;
    }
    // The converter's form keeps no stream weights: every stream is written with weight 1.0,
    // on the count's line when there is one stream.
    if (set_.streamNum != 1)
        out_ << '\n';
    for (int s = 0; s < set_.streamNum; s++) {
        out_ << ' ';
        real(1.0);
    }
    out_ << '\n';
}

void textWalk::mixture(const hmmMixture &mixture, int k, int width, bool header)
{
    // In the converter's form a component of weight 0 contributes nothing; the others keep
    // their numbers.
    if (!exact_ && mixture.mixtureWeight == 0)
        return;
    if (header) {
        out_ << "<MIXTURE> " << k + 1 << ' ';
        real(mixture.mixtureWeight);
        out_ << '\n';
    }
    out_ << "<MEAN> " << width << '\n';
    vector(mixture.mean, width);
    out_ << "<VARIANCE> " << width << '\n';
    vector(mixture.variance, width);
    out_ << "<GCONST> ";
    real(mixture.gconst);
    out_ << '\n';
}

}  // namespace

void writeTextMacroWalk(const hmmSet &set, const char *path, textDialect dialect)
{
    // The exact form's failure to open keeps the message it has always had.
    outputFile file(path, "w", true, dialect == textDialect::exact ? "Error: cannot write \"%s\".\n" : nullptr);
    textWalk(file, set, dialect).set();
    file.close();
}

void writeTextMacroFile(const hmmSet &MMF, const char *path)
{
    checkAllCounts(MMF);
    writeTextMacroWalk(MMF, path, textDialect::converter);
}
