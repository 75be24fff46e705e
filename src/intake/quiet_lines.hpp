#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ovrik {

// Most lines of a long source file nothing: blank lines, comments and labels
// alone on their line. Taking them one at a time costs more than reading the
// file, so runs of them are recognised 64 bytes at a time, by bit operations
// on masks of the bytes that matter. Whatever the scan is unsure of goes to
// the reader line by line, so the scan only ever speeds a run up.

// Bit i stands for byte i of a 64-byte chunk.
struct ChunkMasks {
  std::uint64_t lineEnd = 0;  // CR or LF
  std::uint64_t slash = 0;
  std::uint64_t comma = 0;
  std::uint64_t blank = 0;
  // 0 to 9, "$" and Ctrl-Z: a page number takes a digit or a "$", and a
  // Ctrl-Z ends the source where a line begins with it.
  std::uint64_t startMark = 0;
};

enum class ChunkScan {
  kNone,      // every line goes through the reader
  kPortable,  // a byte at a time: the reference the vector scans are tested against
  kAvx2,
  kAvx512,
};

// The scan a run uses: the widest vectors the processor has, else none,
// since a byte at a time is slower than the reader's own line by line.
ChunkScan fastestChunkScan();
bool chunkScanAvailable(ChunkScan scan);

// The masks of the 64 bytes at chunk, as the scan builds them (kNone builds
// them a byte at a time).
ChunkMasks chunkMasks(const char* chunk, ChunkScan scan);

// The length of a start of bytes that holds only whole lines, each ended by
// its CR or LF, that file nothing; bytes begin at a line start. A CR LF
// counts as a CR ending one line and an LF ending an empty one, which files
// the same. The scan stops at the first line it is unsure of, so the result
// may fall short of the longest such start (it is 0 when that is the first
// line), never beyond it.
std::size_t quietPrefix(std::string_view bytes, ChunkScan scan);

}  // namespace ovrik
