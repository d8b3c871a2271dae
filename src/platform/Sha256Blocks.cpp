// SHA-256's compression of whole blocks with the processor's SHA extensions (x86: SHA-NI), used
// when the processor has them: several times faster than the portable rounds.
#include "platform/Sha256Blocks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace pitkit {

#if defined(__x86_64__) || defined(__i386__)

namespace {

bool processorHasShaExtensions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  const bool ssse3 = (c & (1U << 9)) != 0, sse41 = (c & (1U << 19)) != 0;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  return ssse3 && sse41 && (b & (1U << 29)) != 0;
}

}  // namespace

bool sha256BlocksAvailable() {
  static const bool available = processorHasShaExtensions();
  return available;
}

// The state is kept as the instructions want it: ABEF and CDGH. Each group of four rounds adds
// the round constants to four words of the schedule; from the fifth group on, those words are
// made from the four groups before (msg1 and msg2 with the words seven back).
__attribute__((target("sha,sse4.1,ssse3"))) void sha256Blocks(std::uint32_t* state, const std::uint8_t* data,
                                                               std::size_t count, const std::uint32_t* rounds) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  abcd = _mm_shuffle_epi32(abcd, 0xB1);               // CDAB
  efgh = _mm_shuffle_epi32(efgh, 0x1B);               // EFGH
  __m128i abef = _mm_alignr_epi8(abcd, efgh, 8);      // ABEF
  __m128i cdgh = _mm_blend_epi16(efgh, abcd, 0xF0);   // CDGH
  for (; count > 0; --count, data += 64) {
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    __m128i w[4];
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      if (g < 4) {
        w[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byteSwap);
      } else {
        __m128i t = _mm_sha256msg1_epu32(w[g % 4], w[(g - 3) % 4]);
        t = _mm_add_epi32(t, _mm_alignr_epi8(w[(g - 1) % 4], w[(g - 2) % 4], 4));
        w[g % 4] = _mm_sha256msg2_epu32(t, w[(g - 1) % 4]);
      }
      __m128i message = _mm_add_epi32(w[g % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(rounds + 4 * g)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
      message = _mm_shuffle_epi32(message, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));    // DCBA
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));   // HGFE
}

#else

bool sha256BlocksAvailable() { return false; }
void sha256Blocks(std::uint32_t*, const std::uint8_t*, std::size_t, const std::uint32_t*) {}

#endif

}  // namespace pitkit
