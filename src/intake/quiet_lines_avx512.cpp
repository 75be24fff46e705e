// Compiled for AVX-512 (byte and word instructions); called only where the
// processor has them. A compare gives the 64 bits of a mask at once.
#include <immintrin.h>

#include "intake/quiet_lines_scan.hpp"

namespace ovrik {
namespace {

std::uint64_t bytesEqual(__m512i bytes, char c) {
  return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(c));
}

std::uint64_t startMarks(__m512i bytes) {
  constexpr char kCtrlZ = 26;
  // "0" to "9" are the bytes whose distance above "0" is below 10.
  const std::uint64_t digits =
      _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
  return digits | bytesEqual(bytes, '$') | bytesEqual(bytes, kCtrlZ);
}

ChunkMasks masksOf(const char* chunk) {
  const __m512i bytes = _mm512_loadu_si512(chunk);
  ChunkMasks masks;
  masks.lineEnd = bytesEqual(bytes, '\r') | bytesEqual(bytes, '\n');
  masks.slash = bytesEqual(bytes, '/');
  masks.comma = bytesEqual(bytes, ',');
  masks.blank = bytesEqual(bytes, ' ');
  masks.startMark = startMarks(bytes);
  return masks;
}

}  // namespace

ChunkMasks avx512ChunkMasks(const char* chunk) {
  return masksOf(chunk);
}

std::size_t avx512QuietPrefix(const char* bytes, std::size_t size) {
  return scanQuietPrefix(bytes, size, [](const char* chunk) { return masksOf(chunk); });
}

}  // namespace ovrik
