// Reals of HTK text, as C's strtof reads them, with a fast path for the form HTK prints
// ("%e": [sign]d.dddddde[sign]dd followed by white space). The fast path is the text
// reader's (hmm/realText.h: exact double arithmetic, decided away from halfway points); any
// other form goes to std::from_chars and, for what that does not take (a '+', hexadecimal,
// values out of range), to strtof itself.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hmm/realText.h"

namespace mac2mod::htk {

using realText::printedReal;

// A real at p (no white space before it) in a buffer that ends, zero bytes after it, at
// limit. Returns the length read, 0 when there is no number there.
inline size_t parseReal(const char *p, const char *limit, float &value)
{
    if (limit - p >= static_cast<long>(realText::PRINTED_REAL_BYTES))
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
