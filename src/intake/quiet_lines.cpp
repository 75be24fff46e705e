#include "intake/quiet_lines.hpp"

#include "intake/quiet_lines_scan.hpp"

#if defined(OVRIK_VECTOR_SCANS) && defined(__GLIBC__) && __has_include(<sys/platform/x86.h>)
#define OVRIK_LIBC_KNOWS_THE_PROCESSOR
// The header is written for C, and clang's C++ has no _Bool.
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#endif

namespace ovrik {
namespace {

ChunkMasks portableChunkMasks(const char* chunk) {
  constexpr char kCtrlZ = 26;
  ChunkMasks masks;
  for (std::size_t i = 0; i < kChunk; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    const char c = chunk[i];
    if (c == '\r' || c == '\n') masks.lineEnd |= bit;
    if (c == '/') masks.slash |= bit;
    if (c == ',') masks.comma |= bit;
    if (c == ' ') masks.blank |= bit;
    if ((c >= '0' && c <= '9') || c == '$' || c == kCtrlZ) masks.startMark |= bit;
  }
  return masks;
}

#if defined(OVRIK_LIBC_KNOWS_THE_PROCESSOR)
// The C library has asked the processor already; asking again (cpuid) costs a
// small run measurably in a virtual machine, where each question traps.
bool processorHasAvx2() {
  return CPU_FEATURE_ACTIVE(AVX2);
}
bool processorHasAvx512() {
  return CPU_FEATURE_ACTIVE(AVX512BW);
}
#elif defined(OVRIK_VECTOR_SCANS)
bool processorHasAvx2() {
  return __builtin_cpu_supports("avx2") != 0;
}
bool processorHasAvx512() {
  return __builtin_cpu_supports("avx512bw") != 0;
}
#endif

bool processorHas(ChunkScan scan) {
#ifdef OVRIK_VECTOR_SCANS
  if (scan == ChunkScan::kAvx2) return processorHasAvx2();
  if (scan == ChunkScan::kAvx512) return processorHasAvx512();
#endif
  return scan == ChunkScan::kNone || scan == ChunkScan::kPortable;
}

}  // namespace

bool chunkScanAvailable(ChunkScan scan) {
  return processorHas(scan);
}

ChunkScan fastestChunkScan() {
  static const ChunkScan fastest = processorHas(ChunkScan::kAvx512) ? ChunkScan::kAvx512
                                   : processorHas(ChunkScan::kAvx2) ? ChunkScan::kAvx2
                                                                    : ChunkScan::kNone;
  return fastest;
}

ChunkMasks chunkMasks(const char* chunk, ChunkScan scan) {
#ifdef OVRIK_VECTOR_SCANS
  if (scan == ChunkScan::kAvx2) return avx2ChunkMasks(chunk);
  if (scan == ChunkScan::kAvx512) return avx512ChunkMasks(chunk);
#endif
  static_cast<void>(scan);
  return portableChunkMasks(chunk);
}

std::size_t quietPrefix(std::string_view bytes, ChunkScan scan) {
#ifdef OVRIK_VECTOR_SCANS
  if (scan == ChunkScan::kAvx2) return avx2QuietPrefix(bytes.data(), bytes.size());
  if (scan == ChunkScan::kAvx512) return avx512QuietPrefix(bytes.data(), bytes.size());
#endif
  if (scan != ChunkScan::kPortable) return 0;
  return scanQuietPrefix(bytes.data(), bytes.size(),
                         [](const char* chunk) { return portableChunkMasks(chunk); });
}

}  // namespace ovrik
