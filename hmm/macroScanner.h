// Reads a text macro file with the conversions its format uses, each giving exactly what
// fscanf gives with the same conversion on the same input: the same value, the same success
// or failure, and the same characters consumed (a failed conversion consumes what fscanf
// consumes and leaves its target untouched).
//
//   token       "%s"             white space, then up to the next white space
//   integer     "%d"             decimal, optional sign; out-of-range values as strtol clamps
//                                them, cut to 32 bits
//   real        "%e" (float)     decimal or hexadecimal, inf, infinity, nan; "1e+" reads 1
//   quotedName  " \"%[^\"]\""    white space, a quote, one or more characters up to the
//                                next quote, that quote
//   restOfLine  " %[^\n]"        white space (line ends too), then up to the line end
//
// Text fields are bounded by the caller's capacity: a longer one is reported as tooLong
// instead of being stored. The file is read through one reused buffer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

class byteObserver;

class macroScanner {
public:
    enum result { ok, failed, tooLong };

    // bufferSize only matters to tests that cut the input into small reads.
    explicit macroScanner(FILE *stream, size_t bufferSize = 1 << 20);
    // From now on every byte read from the file is shown to observer (none by default).
    void tap(byteObserver *observer) { tap_ = observer; }

    result token(char *out, size_t capacity);
    // Any length; characters past the first keep are read but not stored.
    result token(std::string &out, size_t keep = std::string::npos);
    result integer(int &value);
    result real(float &value);
    // Reads values as real() would, as long as they are in the form "%e" prints and the
    // buffer holds them; returns how many it read. The caller goes on with real().
    int printedReals(float *values, int n);
    result quotedName(char *out, size_t capacity);
    result restOfLine(char *out, size_t capacity);

    // The file offset where the text of the last conversion began (after white space).
    long lastStart() const { return lastStart_; }
    // The file offset where the next conversion starts reading.
    long offset() const { return base_ + static_cast<long>(pos_); }
    // Skips white space (as every conversion but the quoted name's closing does) and returns
    // the offset of what follows.
    long skipToToken()
    {
        skipSpace();
        return offset();
    }

private:
    // Makes at least n bytes available from pos_ unless the file ends first; returns how
    // many are available.
    size_t ensure(size_t n)
    {
        if (end_ - pos_ < n && !eof_)
            refill(n);
        return end_ - pos_;
    }
    void refill(size_t n);
    void skipSpace();
    // skipSpace, then notes where the conversion's text begins.
    void startConversion()
    {
        skipSpace();
        lastStart_ = offset();
    }
    result copyWhile(char *out, size_t capacity, bool (*keep)(unsigned char));
    // Length of the number at pos_ as fscanf would take it, or 0 when it is not a number.
    // Sets needMore when the available bytes ended before the number did.
    size_t scanReal(size_t avail, bool &isReal, bool &needMore) const;
    size_t scanInteger(size_t avail, bool &needMore) const;
    // Runs scan with more bytes until it no longer needs more; returns the length it found.
    template <class Scan>
    size_t measure(Scan scan);

    FILE *stream_;
    std::vector<char> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    long base_ = 0;   // file offset of buffer_[0]
    long lastStart_ = 0;
    bool eof_ = false;
    byteObserver *tap_ = nullptr;
};
