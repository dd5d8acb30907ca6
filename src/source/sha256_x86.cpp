// SHA-256 blocks on the processor's SHA extensions (Intel since Goldmont and
// Ice Lake, AMD since Zen). The state lives as ABEF and CDGH in two
// registers, the layout SHA256RNDS2 works on; each instruction does two
// rounds, and SHA256MSG1/MSG2 make the message schedule four words at a time.
#include "source/sha256_blocks.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

namespace {

// 32-bit Windows keeps the stack only 4-byte aligned: the registers spilled
// here need 16.
__attribute__((target("sha,sse4.1"), force_align_arg_pointer)) void ShaExtensionBlocks(uint32_t (&state)[8],
                                                                                        const uint8_t* blocks,
                                                                                        size_t count) {
    // Each 32-bit word of the message is big-endian.
    const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i words[4];
#pragma GCC unroll 16
        for (unsigned group = 0; group < 16; ++group) {
            __m128i& next = words[group & 3];
            if (group < 4) {
                next = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), swap);
            } else {
                // W[t..t+3] from W[t-16..t-13], W[t-15..t-12], W[t-7..t-4] and W[t-4..t-1].
                const __m128i& previous = words[(group + 3) & 3];
                __m128i mixed = _mm_sha256msg1_epu32(next, words[(group + 1) & 3]);
                mixed = _mm_add_epi32(mixed, _mm_alignr_epi8(previous, words[(group + 2) & 3], 4));
                next = _mm_sha256msg2_epu32(mixed, previous);
            }
            __m128i message =
                _mm_add_epi32(next, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256Rounds + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace

Sha256Blocks Sha256BlocksOfProcessor() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    // SSSE3 and SSE4.1 (leaf 1, ECX bits 9 and 19) for the shuffles; SHA
    // (leaf 7, EBX bit 29).
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & (1u << 9)) == 0 || (c & (1u << 19)) == 0)
        return nullptr;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || (b & (1u << 29)) == 0)
        return nullptr;
    return ShaExtensionBlocks;
}

#else

Sha256Blocks Sha256BlocksOfProcessor() {
    return nullptr;
}

#endif
