#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "tables/tables.hpp"

namespace ovrik {

// ---- The memory image: what a program puts into memory before it runs ----

inline constexpr std::size_t kMemoryWords = 256;
inline constexpr int kNoValue = -1;

// One memory word as the program listed it.
struct ImageWord {
  int value = 0;  // 0 to 255, or kNoValue when its code is not three digits of the word notation
  std::string label;
  std::string statement;
  std::string code;
  // The line of the file the image came from: the source line for an assembly
  // (0 for a word the assembler made), the listing line for a listing.
  std::int32_t line = 0;
  std::optional<WordKind> kind;  // unknown for a word read from a listing
  bool listed = false;           // false for every word the listing does not show (value 0)
};

struct MemoryImage {
  std::array<ImageWord, kMemoryWords> words{};
  std::optional<std::int16_t> firstPage;  // none for a program without a page
};

// The words of an assembled program, as its listing shows them.
MemoryImage imageFromAssembly(const AssemblyState& state);

struct ListingRefusal {
  std::int32_t line = 0;  // the listing line at fault, 1 for the first
  std::string message;
};

// Reads a listing by its fixed columns. Anything that is not a listing the
// assembler could have written is refused as a whole, never loaded in part.
std::variant<MemoryImage, ListingRefusal> readListing(std::string_view bytes);

// The lowest word without a value, or null when every word has one.
const ImageWord* firstWordWithoutValue(const MemoryImage& image);
std::uint8_t addressOf(const MemoryImage& image, const ImageWord& word);

// Where a run starts: the word labelled START, else the first instruction of the
// first page, else that page's slot 0; address 0 for a program without a page.
std::uint8_t startAddress(const MemoryImage& image);

// ---- The machine ----

struct Keyboard {
  std::string queue;  // the bytes given so far; those before `head` are read
  std::size_t head = 0;

  bool ready() const { return head < queue.size(); }
  void give(std::string_view bytes) { queue.append(bytes); }
};

struct Display {
  // Steps to the end of which the flag stays clear; 0 when it is set.
  std::uint8_t clearFor = 0;
  std::string received;  // bytes written and not yet taken away by whoever shows them

  bool ready() const { return clearFor == 0; }
};

struct Machine {
  std::array<std::uint8_t, kMemoryWords> memory{};
  std::uint8_t ac = 0;
  std::uint8_t pc = 0;
  bool halted = false;
  std::uint8_t haltedAt = 0;  // the address of the HLT word, once halted
  std::uint64_t steps = 0;
  std::array<Keyboard, 2> keyboards;
  std::array<Display, 2> displays;
};

// Memory as the image gives it, PC at start, all else as at power-on. A word
// without a value is loaded as 0: check firstWordWithoutValue first.
Machine loadMachine(const MemoryImage& image, std::uint8_t start);

enum class StepEnd : std::uint8_t {
  kDone,
  kHalted,   // the step was a halt, or the machine was halted already
  kWaiting,  // a keyboard skip found its queue empty: the step was not done
  kWrote,    // the step wrote AC to a display
};

struct StepResult {
  StepEnd end = StepEnd::kDone;
  // The keyboard a waiting step waits on, the display a writing step wrote to.
  std::uint8_t port = 0;

  friend bool operator==(const StepResult&, const StepResult&) = default;
};

// One step. Allocates nothing: a written byte is left in AC for the caller.
StepResult step(Machine& machine);

// kInterrupted is the user's end (Ctrl-C, Stop): the machine never reaches it
// on its own, a runner reports it between steps.
enum class RunEnd : std::uint8_t { kHalted, kWaitingForInput, kStepLimit, kInterrupted };

struct RunResult {
  RunEnd end = RunEnd::kStepLimit;
  std::uint8_t port = 0;  // the keyboard a run that waits for input waits on

  friend bool operator==(const RunResult&, const RunResult&) = default;
};

// Steps until the machine halts, waits for input or has done `stepLimit` steps
// in all; the bytes written are appended to each display's `received`.
RunResult run(Machine& machine, std::uint64_t stepLimit);

}  // namespace ovrik
