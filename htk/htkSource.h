// One HTK model file in memory, read symbol by symbol: text keywords (<MEAN>, any case),
// binary keywords (':' and a code byte), macro introducers with their names (~t "tr1"), and
// the end of the file. The numbers after a keyword are text or binary as the keyword was
// (htk-mmf.md, sections 2 and 10); binary numbers are big-endian, as HTK writes them, unless
// the first binary count of the file reads small only in little-endian order. Every failure is thrown as mac2mod::error, placed at
// "FILE:LINE:COLUMN: " in a text file and "FILE: byte N: " once the file has shown a binary
// keyword.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "utility/error.h"
#include "utility/paddedFile.h"

namespace mac2mod::htk {

// Keyword codes: the positions in HTK's symbol list, as binary files carry them.
enum keywordCode : int {
    BEGINHMM = 0, USE = 1, ENDHMM = 2, NUMMIXES = 3, NUMSTATES = 4, STREAMINFO = 5,
    VECSIZE = 6, NULLD = 7, POISSOND = 8, GAMMAD = 9, RELD = 10, GEND = 11, DIAGC = 12,
    FULLC = 13, XFORMC = 14, STATE = 15, TMIX = 16, MIXTURE = 17, STREAM = 18, SWEIGHTS = 19,
    MEAN = 20, VARIANCE = 21, INVCOVAR = 22, XFORM = 23, GCONST = 24, DURATION = 25,
    INVDIAGC = 26, TRANSP = 27, DPROB = 28, LLTC = 29, LLTCOVAR = 30, PROJSIZE = 31,
    XFORMKIND = 90, PARENTXFORM = 91, NUMXFORMS = 92, XFORMSET = 93, LINXFORM = 94,
    OFFSET = 95, BIAS = 96, LOGDET = 97, BLOCKINFO = 98, BLOCK = 99, BASECLASS = 100,
    CLASS = 101, XFORMWGTSET = 102, CLASSXFORM = 103, MMFIDMASK = 104, PARAMETERS = 105,
    NUMCLASSES = 106, ADAPTKIND = 107, PREQUAL = 108, INPUTXFORM = 109, RCLASS = 110,
    REGTREE = 111, NODE = 112, TNODE = 113, HMMSETID = 119,
    PARMKIND = 120,   // a parameter kind such as <MFCC_D_A> (text only); its name in symbol.text
    EOFSYM = 121,     // the text keyword <EOF>
};

// "<MEAN>" for MEAN; "<?>" for a code without a keyword.
const char *keywordName(int code);
// The code of an upper-cased text keyword (without its brackets), or -1.
int keywordCode(const char *upper, size_t n);
// Whether a binary file may carry code as a keyword.
bool binaryKeywordKnown(int code);
// HTK's canonical spelling of a parameter kind (qualifiers in the order _E _D _N _A _T _C
// _K _Z _0 _V), from the upper-cased text between the brackets; "" when it is none.
std::string parameterKind(const std::string &upper);

struct symbol {
    enum kindType { keyword, macro, end } kind = end;
    int code = -1;        // keyword: its code
    bool binary = false;  // keyword: given as ':' and a code, so its numbers are binary
    char letter = 0;      // macro: the type letter, lower case
    long offset = 0;      // where the symbol starts in the file
    std::string text;     // macro: its name (none for ~o); PARMKIND: the canonical kind
};

class source {
public:
    // Reads the whole file; a file that cannot be read, or that is not a regular file, is
    // refused (utility/paddedFile.h).
    explicit source(const std::string &path);
    source(const std::string &path, const void *bytes, size_t size);   // from memory
    source(const source &) = delete;
    source &operator=(const source &) = delete;

    const std::string &path() const { return path_; }
    bool seenBinary() const { return seenBinary_; }
    long offset() const { return static_cast<long>(pos_); }
    // The number of "~h" and "~H" in the file: at least the number of its model headers;
    // in likely those followed by white space or a quote, as headers are written.
    size_t modelHeaderBound(size_t *likely = nullptr) const;

    // The next symbol, and a look at it without taking it.
    symbol next();
    const symbol &peek();
    // Skips white space; the byte that follows, or -1 at the end of the file.
    int firstByte()
    {
        skipSpace();
        return pos_ < size_ ? static_cast<unsigned char>(data_[pos_]) : -1;
    }
    // Takes the peeked symbol (after peek()).
    void take() { peeked_ = false; pos_ = peekEnd_; }

    // The numbers and strings after a keyword: text after a text keyword, binary (16-bit
    // integers, 32-bit floats, both big-endian) after a binary one.
    int integer(bool binary);
    float real(bool binary);
    // offsets, when given, gets where each value begins.
    void reals(bool binary, float *out, int n, long *offsets = nullptr);
    void skipReals(bool binary, long n);
    // A string (after <HMMSetId>, <Use> or a macro introducer): quoted or bare, text always.
    std::string string();

    // Reads past the body of an adaptation macro (text only): up to the next macro
    // introducer that is not part of the body (htk-mmf.md, section 4.1).
    void skipAdaptationBody();

    // Throws the message placed at offset.
    [[noreturn]] void fail(long offset, const char *format, ...) const
        __attribute__((format(printf, 3, 4)));
    // The error fail throws, for a caller that collects it first.
    error refusal(long offset, const std::string &text) const;
    // "FILE:LINE:COLUMN" or "FILE: byte N" for offset.
    std::string place(long offset) const;

private:
    void skipSpace()
    {
        while (pos_ < size_ && isSpace(static_cast<unsigned char>(data_[pos_])))
            pos_++;
    }
    static bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    void read(symbol &s);
    // Binary numbers in the file's byte order.
    uint16_t binary16(long at);
    uint32_t binary32(long at);
    [[noreturn]] void cutShort(long at, const char *what) const;

    std::string path_;
    paddedFile bytes_;
    const char *data_ = nullptr;   // the file, then at least PADDING zero bytes
    size_t size_ = 0;          // the file's length
    size_t pos_ = 0;
    bool seenBinary_ = false;
    bool orderKnown_ = false;   // decided at the first binary integer
    bool little_ = false;       // little-endian (HTK's NATURALWRITEORDER on x86)
    bool peeked_ = false;
    size_t peekEnd_ = 0;
    symbol peekSymbol_;
};

}  // namespace mac2mod::htk
