// Little-endian 4-byte values, whatever the host's byte order: every binary file of the
// project stores its integers and floats this way. HTK's binary files are big-endian: their
// words are read with the BE helpers at the end.
#pragma once

#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

inline void putLE32(unsigned char *out, uint32_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

inline uint32_t getLE32(const unsigned char *in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

inline uint32_t floatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float bitsFloat(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline uint32_t getBE32(const unsigned char *in)
{
    return uint32_t(in[0]) << 24 | uint32_t(in[1]) << 16 | uint32_t(in[2]) << 8 | uint32_t(in[3]);
}

// n big-endian floats. Four at a time with SSE2 where there is one (x86-64 always has it):
// bytes swapped within each 16-bit half, then the halves.
inline void getBE32Floats(const unsigned char *__restrict in, float *__restrict out, int n)
{
    int k = 0;
#ifdef __SSE2__
    for (; k + 4 <= n; k += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 4 * k));
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + k), v);
    }
#endif
    for (; k < n; k++)
        out[k] = bitsFloat(getBE32(in + 4 * k));
}
