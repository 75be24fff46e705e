#pragma once

// The chunk scan behind quietPrefix, shared by the file of each way of
// building masks. Everything here has internal linkage: the vector files are
// compiled for their instructions, and none of their copies may stand in for
// another file's on a processor without them. So this header includes
// nothing that brings inline functions of its own.

#include "intake/quiet_lines.hpp"

#if defined(__x86_64__)
#include <immintrin.h>  // _subborrow_u64: the borrow stays in the carry flag
#endif

namespace ovrik {

// Built only for x86-64 processors, each from a file compiled for its vectors.
ChunkMasks avx2ChunkMasks(const char* chunk);
std::size_t avx2QuietPrefix(const char* bytes, std::size_t size);
ChunkMasks avx512ChunkMasks(const char* chunk);
std::size_t avx512QuietPrefix(const char* bytes, std::size_t size);

namespace {

constexpr std::size_t kChunk = 64;

// a - b - borrow, with the borrow out of bit 63 kept for the next chunk.
inline std::uint64_t subtractCarrying(std::uint64_t a, std::uint64_t b, unsigned char& borrow) {
#if defined(__x86_64__)
  unsigned long long result = 0;
  borrow = _subborrow_u64(borrow, a, b, &result);
  return result;
#else
  const std::uint64_t difference = a - b;
  const std::uint64_t result = difference - borrow;
  borrow = static_cast<unsigned char>((a < b) | (difference < borrow));
  return result;
#endif
}

// The bits of targets that come first at or after each start bit: the borrow
// of a start runs up to the next target and clears it. Every gap between
// targets holds at most one start. A start with no target above it carries
// into the next chunk.
inline std::uint64_t firstTargetFrom(std::uint64_t starts, std::uint64_t targets,
                                     unsigned char& borrow) {
  return targets & ~subtractCarrying(targets, starts, borrow);
}

// Bit i set, and bits up to 63 shifted up by one, the top bit carried into
// the next chunk's bit 0.
inline std::uint64_t nextBytes(std::uint64_t bits, std::uint64_t& carry) {
  const std::uint64_t shifted = (bits << 1) | carry;
  carry = bits >> 63;
  return shifted;
}

// What a run of chunks carries from one to the next.
struct ScanCarries {
  std::uint64_t lineStart = 1;  // the scan begins at a line start
  std::uint64_t afterCode = 0;
  std::uint64_t afterComma = 0;
  unsigned char inComment = 0;
  unsigned char toNextAfterCode = 0;
  unsigned char toNextAfterComma = 0;
  unsigned char toStartMark = 0;
};

// A line files nothing when the part before its first slash is blank, or is
// a label and a comma with only blanks after it. So a line is unsure when a
// code byte (before the first slash; not a blank, comma or line end) is
// followed by the slash or the line end without a comma between, or when a
// comma before the slash is followed by anything but the slash or the line
// end (a second comma included).
//
// A comment in column 1 names a page when it reads as a number, which takes
// a decimal digit, or a "$" before hexadecimal ones: when one of them comes
// before the line end, the line is unsure as well.
//
// The result has a bit set in every line that may file something.
inline std::uint64_t unsureBits(const ChunkMasks& m, ScanCarries& carries) {
  const std::uint64_t lineStarts = nextBytes(m.lineEnd, carries.lineStart);
  // From each slash to its line end; later slashes of a line are cleared by
  // the subtraction and set again, line ends that no slash reaches stay set.
  const std::uint64_t comment = subtractCarrying(m.lineEnd, m.slash, carries.inComment) | m.slash;
  const std::uint64_t marked = ~m.blank;  // the bytes that count when blanks are skipped
  const std::uint64_t code = ~(m.blank | m.lineEnd | m.comma | comment);
  const std::uint64_t codeCommas = m.comma & ~comment;
  const std::uint64_t ends = m.slash | m.lineEnd;
  const std::uint64_t afterCode =
      firstTargetFrom(nextBytes(code, carries.afterCode), marked, carries.toNextAfterCode);
  const std::uint64_t afterComma =
      firstTargetFrom(nextBytes(codeCommas, carries.afterComma), marked, carries.toNextAfterComma);
  const std::uint64_t pageDigits =
      firstTargetFrom(m.slash & lineStarts, m.startMark | m.lineEnd, carries.toStartMark) &
      m.startMark;
  // A line that begins with a Ctrl-Z ends the source: the reader sees to it,
  // and to a line that begins with a digit too (code, or a rare label).
  return (afterCode & ends) | (afterComma & ~ends) | pageDigits | (m.startMark & lineStarts);
}

// Where the line after the last of lineEnds begins, in the chunk at base.
inline std::size_t afterLastLineEnd(std::size_t base, std::uint64_t lineEnds) {
  return base + kChunk - static_cast<std::size_t>(__builtin_clzll(lineEnds));
}

// A line of 256 bytes or more is cut by the reader, which can change what it
// files: it spans three chunks without a line end, so three such chunks
// stop the scan.
constexpr int kChunksOfLongLine = 3;

template <typename LoadMasks>
std::size_t scanQuietPrefix(const char* bytes, std::size_t size, LoadMasks loadMasks) {
  ScanCarries carries;
  std::size_t quiet = 0;
  int chunksWithoutLineEnd = 0;
  for (std::size_t base = 0; base + kChunk <= size; base += kChunk) {
    const ChunkMasks masks = loadMasks(bytes + base);
    const std::uint64_t unsure = unsureBits(masks, carries);
    if (unsure != 0) {
      // the lines that end before the first unsure bit file nothing
      const std::uint64_t endsBefore = masks.lineEnd & ((unsure & (0 - unsure)) - 1);
      return endsBefore != 0 ? afterLastLineEnd(base, endsBefore) : quiet;
    }
    if (masks.lineEnd == 0) {
      if (++chunksWithoutLineEnd == kChunksOfLongLine) return quiet;
      continue;
    }
    chunksWithoutLineEnd = 0;
    quiet = afterLastLineEnd(base, masks.lineEnd);
  }
  return quiet;
}

}  // namespace
}  // namespace ovrik
