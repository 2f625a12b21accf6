#include "hmm/macroScanner.h"

#include <algorithm>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// Longer numbers than this are rare; they only cost a second look with more bytes.
constexpr size_t NUMBER_LOOKAHEAD = 64;

// The C locale's white space, as fscanf skips it.
inline bool isSpace(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

inline bool isHexDigit(int c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline uint64_t fromLittleEndian(uint64_t bytes)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(bytes);
#else
    return bytes;
#endif
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

// mantissa x 10^scale as the nearest float, when that can be had exactly from doubles: the
// mantissa and the power of ten are both exact doubles, so their product or quotient is the
// correctly rounded double, and rounding that to float is correct unless it lies exactly
// halfway between two floats.
bool convertExact(uint64_t mantissa, int scale, bool negative, float &value)
{
    static const double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    // The nearest doubles to 10^-k: a product with one is within about one unit of the last
    // place of the exact quotient, which decides the float unless it lies within a few units
    // of a halfway point between two floats (where the division is made after all).
    static const double inversePowers[] = {1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,
                                           1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
                                           1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17,
                                           1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
    constexpr uint64_t LOW_BITS = 0x1fffffff;   // the double's bits a float does not keep
    constexpr uint64_t HALFWAY = 0x10000000;
    constexpr uint64_t NEAR = 4;
    if (mantissa > (uint64_t(1) << 53) || scale < -22 || scale > 22)
        return false;
    double exact = static_cast<double>(mantissa);
    uint64_t bits;
    if (scale < 0) {
        const double guess = exact * inversePowers[-scale];
        std::memcpy(&bits, &guess, sizeof bits);
        if ((bits & LOW_BITS) - (HALFWAY - NEAR) > 2 * NEAR) {
            value = static_cast<float>(negative ? -guess : guess);
            return true;
        }
    }
    exact = scale < 0 ? exact / powersOfTen[-scale] : exact * powersOfTen[scale];
    std::memcpy(&bits, &exact, sizeof bits);
    if ((bits & LOW_BITS) == HALFWAY)
        return false;   // halfway between two floats: needs the exact decimal
    value = static_cast<float>(negative ? -exact : exact);
    return true;
}

// What "%e" prints, [sign] d.dddddde+dd followed by white space: by far the most common
// form, read in one go. Returns its length, or 0 when the text is of another form or its
// value needs more than convertExact gives. Needs PRINTED_REAL_BYTES bytes at p.
constexpr size_t PRINTED_REAL_BYTES = 14;
size_t printedReal(const char *p, float &value)
{
    // Branch-free on the signs, which are random in model files. The eight bytes d.dddddd
    // less "0.000000" must each be a digit value, with the dot's byte zero (a byte below its
    // pattern wraps to 0xd0 or more and fails, whatever borrow it passes on).
    const unsigned char sign = static_cast<unsigned char>(*p);
    const bool negative = sign == '-';
    const char *q = p + ((sign == '-') | (sign == '+'));
    uint64_t digits;
    std::memcpy(&digits, q, sizeof digits);
    digits = fromLittleEndian(digits) - 0x3030303030302e30u;
    if (((digits + 0x7676767676767676u) | digits) & 0x8080808080808080u || (digits & 0xff00u))
        return 0;
    const unsigned char e = static_cast<unsigned char>(q[8]);
    const unsigned char exponentSign = static_cast<unsigned char>(q[9]);
    if ((e | 0x20) != 'e' || ((exponentSign - '+') & ~2) != 0 || !isDigit(q[10]) ||
        !isDigit(q[11]) || !isSpace(static_cast<unsigned char>(q[12])))
        return 0;
    // Byte k holds digit k (the dot's byte zero): as an eight-digit number that is
    // d0 * 10^7 + d1..d6, and the mantissa d0 * 10^6 + d1..d6 is 9 * 10^6 * d0 less.
    const uint64_t leading = digits & 0xff;
    digits = digits * 10 + (digits >> 8);
    digits = (((digits & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
              (((digits >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >> 32;
    const uint64_t mantissa = digits - 9000000 * leading;
    const int exponent = (q[10] - '0') * 10 + (q[11] - '0');
    const int scale = (exponentSign == '-' ? -exponent : exponent) - 6;
    return convertExact(mantissa, scale, negative, value) ? static_cast<size_t>(q + 12 - p) : 0;
}

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
