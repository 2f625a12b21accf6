// Reals of HTK text, as C's strtof reads them, with a fast path for the form HTK prints
// ("%e": [sign]d.dddddde[sign]dd followed by white space). The fast path is the method of
// hmm/macroScanner.cpp (exact double arithmetic, decided away from halfway points); any
// other form goes to std::from_chars and, for what that does not take (a '+', hexadecimal,
// values out of range), to strtof itself.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace mac2mod::htk {

inline bool realDigit(int c)
{
    return c >= '0' && c <= '9';
}

// mantissa x 10^scale as the nearest float when exact double arithmetic decides it.
inline bool convertExact(uint64_t mantissa, int scale, bool negative, float &value)
{
    static const double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
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
        return false;
    value = static_cast<float>(negative ? -exact : exact);
    return true;
}

// "%e" output followed by a white space byte; needs 14 readable bytes at p. Returns the
// length read, or 0 for any other form.
inline size_t printedReal(const char *p, float &value)
{
    const unsigned char sign = static_cast<unsigned char>(*p);
    const bool negative = sign == '-';
    const char *q = p + ((sign == '-') | (sign == '+'));
    uint64_t digits;
    std::memcpy(&digits, q, sizeof digits);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    digits = __builtin_bswap64(digits);
#endif
    digits -= 0x3030303030302e30u;
    if (((digits + 0x7676767676767676u) | digits) & 0x8080808080808080u || (digits & 0xff00u))
        return 0;
    const unsigned char e = static_cast<unsigned char>(q[8]);
    const unsigned char exponentSign = static_cast<unsigned char>(q[9]);
    const unsigned char after = static_cast<unsigned char>(q[12]);
    if ((e | 0x20) != 'e' || ((exponentSign - '+') & ~2) != 0 || !realDigit(q[10]) ||
        !realDigit(q[11]) || !(after == ' ' || (after >= '\t' && after <= '\r')))
        return 0;
    const uint64_t leading = digits & 0xff;
    digits = digits * 10 + (digits >> 8);
    digits = (((digits & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
              (((digits >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >> 32;
    const uint64_t mantissa = digits - 9000000 * leading;
    const int exponent = (q[10] - '0') * 10 + (q[11] - '0');
    const int scale = (exponentSign == '-' ? -exponent : exponent) - 6;
    return convertExact(mantissa, scale, negative, value) ? static_cast<size_t>(q + 12 - p) : 0;
}

// A real at p (no white space before it) in a buffer that ends, zero bytes after it, at
// limit. Returns the length read, 0 when there is no number there.
inline size_t parseReal(const char *p, const char *limit, float &value)
{
    if (limit - p >= 14)
        if (size_t n = printedReal(p, value))
            return n;
    const char *start = p;
    const char *q = p;
    if (q < limit && *q == '+')
        q++;
    bool hex = false;
    {
        const char *h = q;
        if (h < limit && *h == '-')
            h++;
        hex = h + 1 < limit && h[0] == '0' && (h[1] == 'x' || h[1] == 'X');
    }
    if (!hex && !(q < limit && *q == '+') && !(q + 1 < limit && *q == '-' && q[1] == '+')) {
        auto result = std::from_chars(q, limit, value, std::chars_format::general);
        if (result.ec == std::errc())
            return static_cast<size_t>(result.ptr - start);
        if (result.ec == std::errc::invalid_argument)
            return 0;
    }
    // The rare rest (hexadecimal, overflow and underflow) exactly as strtof has it; the
    // buffer ends in a zero byte, so strtof stops there at the latest.
    char *end = nullptr;
    float v = std::strtof(start, &end);
    if (end == start || end > limit)
        return 0;
    value = v;
    return static_cast<size_t>(end - start);
}

}  // namespace mac2mod::htk
