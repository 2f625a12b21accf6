#include "hmm/macroScanner.h"
#include "hmm/fieldObserver.h"
#include "hmm/realText.h"

#include <algorithm>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

using realText::convertExact;
using realText::isDigit;
using realText::isSpace;
using realText::printedReal;
using realText::PRINTED_REAL_BYTES;

// Longer numbers than this are rare; they only cost a second look with more bytes.
constexpr size_t NUMBER_LOOKAHEAD = 64;

inline bool isHexDigit(int c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline int lower(int c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool notSpace(unsigned char c) { return !isSpace(c); }
bool notQuote(unsigned char c) { return c != '"'; }
bool notLineEnd(unsigned char c) { return c != '\n'; }

// Reads bytes [0, avail) of the buffer; a read at or past avail is the end of the file, or,
// when the file goes on, a request for more bytes.
class lookahead {
public:
    lookahead(const char *bytes, size_t avail, bool fileEnded)
        : bytes_(bytes), avail_(avail), fileEnded_(fileEnded) {}
    int at(size_t k)
    {
        if (k < avail_)
            return static_cast<unsigned char>(bytes_[k]);
        needMore = needMore || !fileEnded_;
        return EOF;
    }
    bool needMore = false;

private:
    const char *bytes_;
    size_t avail_;
    bool fileEnded_;
};

// The common form, [sign] digits [. digits] [e [sign] digits] followed by white space or the
// end of the file. Returns the length read, or 0 when the text is of another form or its
// value needs more than convertExact gives (left to the general path).
size_t plainReal(const char *p, const char *limit, bool fileEnded, float &value)
{
    if (limit - p >= static_cast<long>(PRINTED_REAL_BYTES))
        if (size_t n = printedReal(p, value))
            return n;
    const char *start = p;
    bool negative = false;
    if (p < limit && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    int scale = 0;
    uint64_t mantissa = 0;
    int digits = 0;
    for (; p < limit && isDigit(*p); p++, digits++)
        mantissa = mantissa * 10 + (*p - '0');
    if (p < limit && *p == '.')
        for (p++; p < limit && isDigit(*p); p++, digits++, scale--)
            mantissa = mantissa * 10 + (*p - '0');
    if (digits == 0 || digits > 19)
        return 0;
    if (p < limit && lower(*p) == 'e') {
        p++;
        bool negativeExponent = false;
        if (p < limit && (*p == '-' || *p == '+'))
            negativeExponent = *p++ == '-';
        int exponent = 0, exponentDigits = 0;
        for (; p < limit && isDigit(*p) && exponentDigits < 5; p++, exponentDigits++)
            exponent = exponent * 10 + (*p - '0');
        if (exponentDigits == 0)
            return 0;
        scale += negativeExponent ? -exponent : exponent;
    }
    if (p < limit ? !isSpace(static_cast<unsigned char>(*p)) : !fileEnded)
        return 0;
    return convertExact(mantissa, scale, negative, value) ? static_cast<size_t>(p - start) : 0;
}

// The buffer's size: most, or less when the rest of the file is known to be smaller: the
// buffer is zero-filled, and a small file should not pay for a large block.
size_t bufferFor(FILE *stream, size_t most)
{
    struct stat info;
    long at = std::ftell(stream);
    if (at < 0 || fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < at)
        return most;
    // One byte more than the rest, so that the first read already meets the end of the file.
    size_t rest = static_cast<size_t>(info.st_size - at) + 1;
    return rest < most ? rest : most;
}

}  // namespace

macroScanner::macroScanner(FILE *stream, size_t bufferSize)
    : stream_(stream), buffer_(bufferSize > 0 ? bufferFor(stream, bufferSize) : 1),
      base_(std::ftell(stream))
{
}

void macroScanner::refill(size_t n)
{
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    base_ += static_cast<long>(pos_);
    end_ -= pos_;
    pos_ = 0;
    if (n > buffer_.size())
        buffer_.resize(n);
    while (end_ < n && !eof_) {
        size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, stream_);
        if (got == 0)
            eof_ = true;
        else if (tap_)
            tap_->bytes(buffer_.data() + end_, got);
        end_ += got;
    }
}

void macroScanner::skipSpace()
{
    do {
        while (pos_ < end_ && isSpace(static_cast<unsigned char>(buffer_[pos_])))
            pos_++;
    } while (pos_ == end_ && ensure(1) > 0);
}

macroScanner::result macroScanner::copyWhile(char *out, size_t capacity, bool (*keep)(unsigned char))
{
    size_t avail = ensure(capacity);
    const char *from = buffer_.data() + pos_;
    size_t n = 0;
    while (n < avail && n < capacity && keep(static_cast<unsigned char>(from[n])))
        n++;
    if (n == 0)
        return failed;
    if (n >= capacity)
        return tooLong;
    std::memcpy(out, from, n);
    out[n] = '\0';
    pos_ += n;
    return ok;
}

macroScanner::result macroScanner::token(char *out, size_t capacity)
{
    startConversion();
    return copyWhile(out, capacity, notSpace);
}

macroScanner::result macroScanner::token(std::string &out, size_t keep)
{
    startConversion();
    if (ensure(1) == 0)
        return failed;
    out.clear();
    while (ensure(1) > 0) {
        size_t n = 0;
        while (pos_ + n < end_ && notSpace(static_cast<unsigned char>(buffer_[pos_ + n])))
            n++;
        out.append(buffer_.data() + pos_, std::min(n, keep - out.size()));
        pos_ += n;
        if (pos_ < end_)
            break;
    }
    return ok;
}

macroScanner::result macroScanner::restOfLine(char *out, size_t capacity)
{
    startConversion();
    return copyWhile(out, capacity, notLineEnd);
}

macroScanner::result macroScanner::quotedName(char *out, size_t capacity)
{
    startConversion();
    if (ensure(1) == 0 || buffer_[pos_] != '"')
        return failed;
    pos_++;
    result r = copyWhile(out, capacity, notQuote);
    if (r == ok && ensure(1) > 0)
        pos_++;   // the closing quote: copyWhile stopped at it or at the end of the file
    return r;
}

size_t macroScanner::scanReal(size_t avail, bool &isReal, bool &needMore) const
{
    lookahead in(buffer_.data() + pos_, avail, eof_);
    isReal = false;
    size_t i = 0;
    int c = in.at(0);
    if (c == '+' || c == '-')
        c = in.at(++i);
    if (lower(c) == 'i' || lower(c) == 'n') {
        // inf, infinity or nan: a letter that breaks the word is consumed with it.
        const char *word = lower(c) == 'i' ? "inf" : "nan";
        for (int pass = 0; pass < 2; pass++) {
            for (const char *w = word; *w; w++) {
                c = in.at(i);
                if (c == EOF) {
                    needMore = in.needMore;
                    return i;
                }
                i++;
                if (lower(c) != *w)
                    return i;
            }
            if (word[0] != 'i' || pass == 1 || lower(in.at(i)) != 'i')
                break;
            word = "inity";
        }
        needMore = in.needMore;
        isReal = true;
        return i;
    }
    bool hex = false, digit = false, dot = false, exponent = false;
    if (c == '0') {
        c = in.at(++i);
        if (lower(c) == 'x') {
            hex = true;
            c = in.at(++i);
        } else {
            digit = true;
        }
    }
    const int exponentChar = hex ? 'p' : 'e';
    for (;; c = in.at(++i)) {
        if (isDigit(c) || (hex && !exponent && isHexDigit(c)))
            digit = digit || !exponent;
        else if ((c == '+' || c == '-') && exponent && lower(buffer_[pos_ + i - 1]) == exponentChar)
            continue;
        else if (!exponent && digit && lower(c) == exponentChar)
            exponent = true;
        else if (c == '.' && !dot && !exponent)
            dot = true;
        else
            break;
    }
    needMore = in.needMore;
    // "0x" with nothing after it is no number, though "0x." is (it reads as 0).
    isReal = hex ? lower(buffer_[pos_ + i - 1]) != 'x' : digit;
    return i;
}

size_t macroScanner::scanInteger(size_t avail, bool &needMore) const
{
    lookahead in(buffer_.data() + pos_, avail, eof_);
    size_t i = 0;
    int c = in.at(0);
    if (c == '+' || c == '-')
        c = in.at(++i);
    while (isDigit(c))
        c = in.at(++i);
    needMore = in.needMore;
    return i;
}

template <class Scan>
size_t macroScanner::measure(Scan scan)
{
    size_t want = NUMBER_LOOKAHEAD;
    size_t avail = ensure(want);
    bool needMore = false;
    size_t n;
    while ((n = scan(avail, needMore)), needMore) {
        want *= 2;
        avail = ensure(want);
    }
    return n;
}

macroScanner::result macroScanner::real(float &value)
{
    startConversion();
    size_t avail = ensure(NUMBER_LOOKAHEAD);
    if (avail == 0)
        return failed;
    const char *first = buffer_.data() + pos_;
    if (size_t n = plainReal(first, first + avail, eof_, value)) {
        pos_ += n;
        return ok;
    }
    bool isReal = false;
    size_t n = measure([&](size_t bytes, bool &needMore) { return scanReal(bytes, isReal, needMore); });
    first = buffer_.data() + pos_;
    pos_ += n;
    if (!isReal)
        return failed;
    const char *from = first + (*first == '+');
    std::from_chars_result parsed = std::from_chars(from, first + n, value);
    if (parsed.ec != std::errc() || (parsed.ptr < first + n && lower(*parsed.ptr) == 'x')) {
        // Out of range (strtof still gives inf, 0 or a subnormal), hexadecimal, inf or nan.
        std::string text(first, n);
        value = std::strtof(text.c_str(), nullptr);
    }
    return ok;
}

int macroScanner::printedReals(float *values, int n)
{
    const char *p = buffer_.data() + pos_;
    const char *end = buffer_.data() + end_;
    const char *lastValue = nullptr;
    int k = 0;
    for (; k < n; k++) {
        const char *start = p;
        while (start < end && isSpace(static_cast<unsigned char>(*start)))
            start++;
        if (static_cast<size_t>(end - start) < PRINTED_REAL_BYTES)
            break;
        const size_t length = printedReal(start, values[k]);
        if (length == 0)
            break;
        lastValue = start;
        p = start + length;
    }
    if (lastValue)
        lastStart_ = base_ + (lastValue - buffer_.data());
    pos_ = static_cast<size_t>(p - buffer_.data());
    return k;
}

macroScanner::result macroScanner::integer(int &value)
{
    startConversion();
    if (ensure(1) == 0)
        return failed;
    size_t n = measure([&](size_t bytes, bool &needMore) { return scanInteger(bytes, needMore); });
    const char *first = buffer_.data() + pos_;
    size_t sign = (*first == '+' || *first == '-');
    if (n == sign) {
        pos_ += n;   // a lone sign is consumed, the character after it is not
        return failed;
    }
    // fscanf converts as strtol does, clamping to the range of long, then stores an int.
    long converted;
    if (n - sign <= 18) {
        int64_t magnitude = 0;
        for (size_t k = sign; k < n; k++)
            magnitude = magnitude * 10 + (first[k] - '0');
        converted = *first == '-' ? -magnitude : magnitude;
    } else {
        std::string text(first, n);
        converted = std::strtol(text.c_str(), nullptr, 10);
    }
    value = static_cast<int>(static_cast<uint32_t>(static_cast<unsigned long>(converted)));
    pos_ += n;
    return ok;
}
