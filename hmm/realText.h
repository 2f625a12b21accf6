// Reals in the text forms model files print them, converted exactly as strtof converts them
// wherever exact double arithmetic decides the float; the readers of both text formats use it
// for their fast path and leave what it declines (returns false or 0) to a general path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace realText {

// The C locale's white space, as fscanf skips it.
inline bool isSpace(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

inline uint64_t fromLittleEndian(uint64_t bytes)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(bytes);
#else
    return bytes;
#endif
}

// mantissa x 10^scale as the nearest float, when that can be had exactly from doubles: the
// mantissa and the power of ten are both exact doubles, so their product or quotient is the
// correctly rounded double, and rounding that to float is correct unless it lies exactly
// halfway between two floats.
inline bool convertExact(uint64_t mantissa, int scale, bool negative, float &value)
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

// The number whose eight decimal digits, most significant first, stand in the bytes of digits
// from the lowest up, each as its value 0 to 9. SWAR, "SIMD within a register": the one 64-bit
// word is worked as eight lanes, neighbouring digits combined into pairs by one multiply-add,
// then pairs into fours and fours into the eight by two multiplications that each carry two
// weights at once, and a shift; not a multiply-add per digit. The technique, with these
// constants, is the fast_float library's parse_eight_digits_unrolled (which credits it to
// "aqrit"), as Daniel Lemire explains it in "SWAR explained: parsing eight digits" (2022,
// https://lemire.me/blog/2022/01/21/swar-explained-parsing-eight-digits/), following his
// "Quickly parsing eight digits" (2018).
inline uint32_t eightDigitsSwar(uint64_t digits)
{
    digits = digits * 10 + (digits >> 8);   // byte k: 10 * digit k + digit k + 1
    return static_cast<uint32_t>((((digits & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
                                  (((digits >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >>
                                 32);
}

// What "%e" prints, [sign] d.dddddde+dd followed by white space: by far the most common
// form, read in one go. Returns its length, or 0 when the text is of another form or its
// value needs more than convertExact gives. Needs PRINTED_REAL_BYTES bytes at p.
constexpr size_t PRINTED_REAL_BYTES = 14;
inline size_t printedReal(const char *p, float &value)
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
    const uint64_t mantissa = eightDigitsSwar(digits) - 9000000 * leading;
    const int exponent = (q[10] - '0') * 10 + (q[11] - '0');
    const int scale = (exponentSign == '-' ? -exponent : exponent) - 6;
    return convertExact(mantissa, scale, negative, value) ? static_cast<size_t>(q + 12 - p) : 0;
}

}  // namespace realText
