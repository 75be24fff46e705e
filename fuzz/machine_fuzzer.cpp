// The machine and the listing reader on arbitrary bytes. Every input is used
// three ways:
//   - as memory (its first 256 bytes), start address and keys: a run to a
//     small step limit must end in exactly one of its three ends, the same
//     when stepped one step at a time, and the same as the plain reference
//     machine of the benchmark;
//   - as a listing: it is refused with a line that exists, or read, and then
//     the program it holds runs like any other;
//   - as a source: when it assembles, its listing must read back as the
//     assembly made it, never with another value for a word.
// A fault prints what it found and aborts, so libFuzzer keeps the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "assemble/assemble_source.hpp"
#include "machine/load.hpp"
#include "machine/machine.hpp"
#include "reference_machine.hpp"
#include "tables/byte_stream.hpp"
#include "tables/word_notation.hpp"

namespace {

using namespace ovrik;

constexpr std::uint64_t kStepLimit = 4096;

[[noreturn]] void fault(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "machine_fuzzer: %s %s\n", what, detail.c_str());
  std::abort();
}

// The port is the one the run says it waits on.
bool waitsOnAnEmptyKeyboard(const Machine& machine, std::uint8_t port) {
  const std::uint8_t word = machine.memory[machine.pc];
  const bool keyboardSkip = (word & 0xF1U) == 0xC1U;  // op 6, keyboard, bit 0
  return keyboardSkip && port < 2 && !machine.keyboards[port].ready();
}

// Exactly one of the three ends, each in the state that it names.
void checkEnd(RunResult ended, const Machine& machine) {
  switch (ended.end) {
    case RunEnd::kHalted:
      if (!machine.halted) fault("halted without a halt");
      return;
    case RunEnd::kWaitingForInput:
      if (machine.halted || !waitsOnAnEmptyKeyboard(machine, ended.port) ||
          machine.steps >= kStepLimit) {
        fault("waiting, but not on an empty keyboard");
      }
      return;
    case RunEnd::kStepLimit:
      if (machine.halted || machine.steps != kStepLimit) fault("step limit not reached");
      return;
    case RunEnd::kInterrupted:
      break;  // only a runner ends a run so
  }
  fault("no end");
}

// The same run one step at a time, as the runner traces it.
void checkStepByStep(Machine start, const Machine& whole) {
  while (!start.halted && start.steps < kStepLimit) {
    const StepResult result = step(start);
    if (result.end == StepEnd::kWaiting) break;
    if (result.end == StepEnd::kWrote) {
      start.displays[result.port].received.push_back(static_cast<char>(start.ac));
    }
  }
  const bool same = start.memory == whole.memory && start.ac == whole.ac && start.pc == whole.pc &&
                    start.steps == whole.steps &&
                    start.displays[0].received == whole.displays[0].received &&
                    start.displays[1].received == whole.displays[1].received;
  if (!same) fault("stepping gave another state than running");
}

void checkAgainstReference(const Machine& start, RunEnd end, const Machine& whole) {
  auto reference = std::make_unique<ref_machine>();
  ref_reset(reference.get());
  std::copy(start.memory.begin(), start.memory.end(), reference->mem);
  reference->pc = start.pc;
  for (std::size_t port = 0; port < 2; ++port) {
    const std::string& keys = start.keyboards[port].queue;
    reference->keys[port] = reinterpret_cast<const unsigned char*>(keys.data());
    reference->key_count[port] = keys.size();
  }
  const int referenceEnd = ref_run(reference.get(), kStepLimit);
  const int expectedEnd = end == RunEnd::kHalted            ? REF_HALTED
                          : end == RunEnd::kWaitingForInput ? REF_WAITING
                                                            : REF_STEP_LIMIT;
  bool same = referenceEnd == expectedEnd && reference->ac == whole.ac &&
              reference->pc == whole.pc && reference->steps == whole.steps &&
              std::equal(whole.memory.begin(), whole.memory.end(), reference->mem);
  for (std::size_t port = 0; port < 2; ++port) {
    const std::string& received = whole.displays[port].received;
    same = same && received.size() == reference->out_count[port] &&
           std::memcmp(received.data(), reference->out[port], received.size()) == 0;
  }
  if (!same) {
    fault("the reference machine ended elsewhere:",
          std::to_string(referenceEnd) + " at " + wordText(reference->pc) + " after " +
              std::to_string(reference->steps) + ", not " + std::to_string(expectedEnd) + " at " +
              wordText(whole.pc) + " after " + std::to_string(whole.steps));
  }
}

void checkRun(const Machine& start) {
  Machine whole = start;
  const RunResult ended = run(whole, kStepLimit);
  checkEnd(ended, whole);
  checkStepByStep(start, whole);
  checkAgainstReference(start, ended.end, whole);
}

// Memory from the first 256 bytes, the start address from the next, and
// the rest split between the two keyboards.
void runBytesAsMemory(std::string_view bytes) {
  Machine machine;
  std::copy_n(bytes.begin(), std::min(bytes.size(), kMemoryWords), machine.memory.begin());
  if (bytes.size() > kMemoryWords) {
    machine.pc = static_cast<std::uint8_t>(bytes[kMemoryWords]);
    const std::string_view keys = bytes.substr(kMemoryWords + 1);
    machine.keyboards[0].give(keys.substr(0, keys.size() / 2));
    machine.keyboards[1].give(keys.substr(keys.size() / 2));
  }
  checkRun(machine);
}

std::size_t lineCount(std::string_view bytes) {
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
}

void readBytesAsListing(std::string_view bytes) {
  const auto loaded = loadToRun(bytes);
  if (const auto* refusal = std::get_if<LoadRefusal>(&loaded)) {
    if (refusal->line < 1 || static_cast<std::size_t>(refusal->line) > lineCount(bytes) ||
        refusal->message.empty()) {
      fault("refused at a line that is not there", std::to_string(refusal->line));
    }
    return;
  }
  const Program& program = std::get<Program>(loaded);
  checkRun(loadMachine(program.image, program.start));
}

// A long number glued to a code may read as a code with a sign: such a word
// is taken as having no value, never as having another.
bool mayReadWithoutValue(const ImageWord& word) {
  const std::string_view statement = word.statement;
  return statement.size() >= 17 &&
         (statement.find_first_of("+-0123456789%") == 0 || statement.starts_with("VAR="));
}

// A statement ends in a blank when a label did (an inserted jump is "JMP " and
// the label); in the padding of its field that blank cannot be told apart.
std::string_view withoutTrailingBlanks(std::string_view text) {
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Twelve blanks begin the field of an empty label and may begin a label too:
// a word with such a label, or with no label and a comma in its statement, may
// read back with its label and statement split otherwise (the code is the same).
bool mayReadOtherwise(const ImageWord& word) {
  const bool commaInStatement = word.statement.find(',') != std::string::npos;
  return word.label.starts_with("            ") || (word.label.empty() && commaInStatement);
}

void assembleBytesAndReadTheListing(std::string_view bytes) {
  const Assembly assembly = assembleSource(bytes);
  if (!assembly.ok) return;
  const MemoryImage made = imageFromAssembly(*assembly.state);
  const auto read = readListing(*assembly.listing);
  if (const auto* refusal = std::get_if<ListingRefusal>(&read)) {
    fault("the assembler's own listing was refused:", refusal->message);
  }
  const MemoryImage& image = std::get<MemoryImage>(read);
  for (std::size_t address = 0; address < kMemoryWords; ++address) {
    const ImageWord& expected = made.words[address];
    const ImageWord& actual = image.words[address];
    const bool sameValue = actual.value == expected.value ||
                           (actual.value == kNoValue && mayReadWithoutValue(expected));
    // A word without a value is never run: only its message shows its texts.
    const bool sameTexts =
        (actual.label == expected.label && actual.code == expected.code &&
         withoutTrailingBlanks(actual.statement) == withoutTrailingBlanks(expected.statement)) ||
        actual.value == kNoValue || mayReadOtherwise(expected);
    if (!sameValue || !sameTexts || actual.listed != expected.listed) {
      fault("a word read back otherwise:", expected.statement + " " + expected.code);
    }
  }
  if (image.firstPage != made.firstPage || startAddress(image) != startAddress(made)) {
    fault("the listing starts elsewhere");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  runBytesAsMemory(bytes);
  readBytesAsListing(bytes);
  assembleBytesAndReadTheListing(bytes);
  return 0;
}
