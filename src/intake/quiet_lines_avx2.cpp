// Compiled for AVX2; called only where the processor has it.
#include <immintrin.h>

#include "intake/quiet_lines_scan.hpp"

namespace ovrik {
namespace {

std::uint64_t bitsOf(__m256i low, __m256i high) {
  const auto lowBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
  const auto highBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
  return lowBits | (std::uint64_t{highBits} << 32);
}

__m256i equal(__m256i bytes, char c) {
  return _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c));
}

std::uint64_t bytesEqual(__m256i low, __m256i high, char c) {
  return bitsOf(equal(low, c), equal(high, c));
}

// Bytes above 127 compare as negative, so below "0".
__m256i startMarks(__m256i bytes) {
  constexpr char kCtrlZ = 26;
  const __m256i digits = _mm256_and_si256(_mm256_cmpgt_epi8(bytes, _mm256_set1_epi8('0' - 1)),
                                          _mm256_cmpgt_epi8(_mm256_set1_epi8('9' + 1), bytes));
  return _mm256_or_si256(digits, _mm256_or_si256(equal(bytes, '$'), equal(bytes, kCtrlZ)));
}

ChunkMasks masksOf(const char* chunk) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk + 32));
  ChunkMasks masks;
  masks.lineEnd = bytesEqual(low, high, '\r') | bytesEqual(low, high, '\n');
  masks.slash = bytesEqual(low, high, '/');
  masks.comma = bytesEqual(low, high, ',');
  masks.blank = bytesEqual(low, high, ' ');
  masks.startMark = bitsOf(startMarks(low), startMarks(high));
  return masks;
}

}  // namespace

ChunkMasks avx2ChunkMasks(const char* chunk) {
  return masksOf(chunk);
}

std::size_t avx2QuietPrefix(const char* bytes, std::size_t size) {
  return scanQuietPrefix(bytes, size, [](const char* chunk) { return masksOf(chunk); });
}

}  // namespace ovrik
