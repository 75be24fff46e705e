// One step of the machine and a run of steps. The step is a switch over the
// operation on plain bytes: no allocation and no call that is not inlined, so
// that a run costs a few nanoseconds a step.
#include "machine/machine.hpp"

#include <cstddef>
#include <cstdint>

namespace ovrik {
namespace {

constexpr std::uint8_t kIndirect = 0x10;
constexpr std::uint8_t kSlotBits = 0x0F;
constexpr std::uint8_t kPageBits = 0xF0;
constexpr std::uint8_t kSign = 0x80;

// IOT: bit 4 chooses the display, bit 3 port 1; bits 0 to 2 are its actions.
constexpr std::uint8_t kDisplayDevice = 0x10;
constexpr std::uint8_t kPortOne = 0x08;
constexpr std::uint8_t kSkipAction = 0x01;
constexpr std::uint8_t kTransferAction = 0x02;
constexpr std::uint8_t kClearAction = 0x04;

// Operate: bit 4 chooses group 2.
constexpr std::uint8_t kGroupTwo = 0x10;
constexpr std::uint8_t kClear = 0x08;        // CLA, group 1
constexpr std::uint8_t kComplement = 0x04;   // CMA, group 1
constexpr std::uint8_t kRotateLeft = 0x02;   // RAL, group 1
constexpr std::uint8_t kIncrement = 0x01;    // IAC, group 1
constexpr std::uint8_t kSkipOnZero = 0x08;   // SZA, group 2
constexpr std::uint8_t kSkipOnMinus = 0x04;  // SMA, group 2
constexpr std::uint8_t kRotateRight = 0x02;  // RAR, group 2
constexpr std::uint8_t kHalt = 0x01;         // HLT, group 2

// A display whose flag was cleared in step k shows it clear during step k + 1:
// the count starts at 2 and the end of step k already takes one off.
constexpr std::uint8_t kDisplayClearSteps = 2;

inline std::uint8_t byteOf(unsigned value) {
  return static_cast<std::uint8_t>(value & 0xFFU);
}

// PC, AC and the step count as a run keeps them: in locals, apart from the
// machine. A byte written to memory could be any byte of the Machine as far
// as the compiler knows, so registers kept in it would be read again after
// every store; locals whose address never escapes cannot be written so.
struct Registers {
  std::uint8_t pc;
  std::uint8_t ac;
  std::uint64_t steps;
  // A display flag is counting down to set again: the one thing a step must
  // look at the displays for, read here instead of from them.
  bool displaysCounting;

  explicit Registers(const Machine& machine)
      : pc(machine.pc),
        ac(machine.ac),
        steps(machine.steps),
        displaysCounting((machine.displays[0].clearFor | machine.displays[1].clearFor) != 0) {}
  void storeInto(Machine& machine) const {
    machine.pc = pc;
    machine.ac = ac;
    machine.steps = steps;
  }
  void skip() { pc = byteOf(pc + 1U); }
};

// The operand's address: a slot of the instruction's own page, through one
// word of that page when the reference is indirect.
inline std::uint8_t effectiveAddress(const Machine& machine, std::uint8_t address,
                                     std::uint8_t word) {
  const auto direct = static_cast<std::uint8_t>((address & kPageBits) | (word & kSlotBits));
  return (word & kIndirect) != 0 ? machine.memory[direct] : direct;
}

inline std::uint8_t portOf(std::uint8_t word) {
  return (word & kPortOne) != 0 ? 1 : 0;
}

inline StepResult keyboardStep(Machine& machine, Registers& r, std::uint8_t address,
                               std::uint8_t word) {
  const std::uint8_t port = portOf(word);
  Keyboard& keyboard = machine.keyboards[port];
  if ((word & kSkipAction) != 0) {
    if (!keyboard.ready()) {
      r.pc = address;  // a keyboard skip on an empty queue waits: the step is not done
      return {StepEnd::kWaiting, port};
    }
    r.skip();
  }
  if ((word & kTransferAction) != 0) {
    r.ac = keyboard.ready() ? static_cast<std::uint8_t>(keyboard.queue[keyboard.head]) : 0;
  }
  if ((word & kClearAction) != 0 && keyboard.ready()) ++keyboard.head;
  return {};
}

inline StepResult displayStep(Machine& machine, Registers& r, std::uint8_t word) {
  const std::uint8_t port = portOf(word);
  Display& display = machine.displays[port];
  if ((word & kSkipAction) != 0 && display.ready()) r.skip();
  if ((word & kClearAction) != 0) {
    display.clearFor = kDisplayClearSteps;
    r.displaysCounting = true;
  }
  if ((word & kTransferAction) == 0) return {};
  return {StepEnd::kWrote, port};
}

inline StepEnd operateStep(Machine& machine, Registers& r, std::uint8_t address,
                           std::uint8_t word) {
  const unsigned ac = r.ac;  // unsigned arithmetic; byteOf keeps the low 8 bits
  if ((word & kGroupTwo) == 0) {
    unsigned result = ac;
    if ((word & kClear) != 0) result = 0;
    if ((word & kComplement) != 0) result = ~result & 0xFFU;
    if ((word & kIncrement) != 0) result = (result + 1U) & 0xFFU;
    if ((word & kRotateLeft) != 0) result = (result << 1U) | (result >> 7U);
    r.ac = byteOf(result);
    return StepEnd::kDone;
  }
  const bool zero = (word & kSkipOnZero) != 0 && ac == 0;
  const bool minus = (word & kSkipOnMinus) != 0 && (ac & kSign) != 0;
  if (zero || minus) r.skip();
  if ((word & kRotateRight) != 0) r.ac = byteOf((ac >> 1U) | (ac << 7U));
  if ((word & kHalt) == 0) return StepEnd::kDone;
  machine.halted = true;
  machine.haltedAt = address;
  return StepEnd::kHalted;
}

// A display flag cleared two steps ago is set again at the end of this one.
inline void tickDisplays(Machine& machine, Registers& r) {
  for (Display& display : machine.displays) {
    if (display.clearFor != 0) --display.clearFor;
  }
  r.displaysCounting = (machine.displays[0].clearFor | machine.displays[1].clearFor) != 0;
}

// One step of a machine that is not halted.
inline StepResult doStep(Machine& machine, Registers& r) {
  const std::uint8_t address = r.pc;
  const std::uint8_t word = machine.memory[address];
  r.pc = byteOf(address + 1U);
  StepResult result;
  switch (word >> 5U) {
    case 0:  // AND
      r.ac &= machine.memory[effectiveAddress(machine, address, word)];
      break;
    case 1:  // TAD
      r.ac = byteOf(r.ac + machine.memory[effectiveAddress(machine, address, word)]);
      break;
    case 2: {  // ISZ and INC alike
      std::uint8_t& target = machine.memory[effectiveAddress(machine, address, word)];
      target = byteOf(target + 1U);
      // A branch, not a conditional move (CMakeLists.txt keeps GCC from
      // making one): PC would wait for the load and the store of the count,
      // where a predicted branch runs on.
      if (target == 0) [[unlikely]] {
        r.skip();
      }
      break;
    }
    case 3:  // DCA
      machine.memory[effectiveAddress(machine, address, word)] = r.ac;
      r.ac = 0;
      break;
    case 4: {  // JMS
      const std::uint8_t target = effectiveAddress(machine, address, word);
      machine.memory[target] = r.pc;
      r.pc = byteOf(target + 1U);
      break;
    }
    case 5:  // JMP
      r.pc = effectiveAddress(machine, address, word);
      break;
    case 6:
      result = (word & kDisplayDevice) != 0 ? displayStep(machine, r, word)
                                            : keyboardStep(machine, r, address, word);
      if (result.end == StepEnd::kWaiting) return result;
      break;
    default:
      result.end = operateStep(machine, r, address, word);
      break;
  }
  ++r.steps;
  if (r.displaysCounting) tickDisplays(machine, r);
  return result;
}

}  // namespace

StepResult step(Machine& machine) {
  if (machine.halted) return {StepEnd::kHalted};
  Registers r(machine);
  const StepResult result = doStep(machine, r);
  r.storeInto(machine);
  return result;
}

// The registers stay in locals from the first step to the last, and go back
// into the machine at every end.
RunResult run(Machine& machine, std::uint64_t stepLimit) {
  if (machine.halted) return {RunEnd::kHalted};
  Registers r(machine);
  RunResult ended{RunEnd::kStepLimit};
  while (r.steps < stepLimit) {
    const StepResult result = doStep(machine, r);
    if (result.end == StepEnd::kDone) continue;
    if (result.end == StepEnd::kWrote) {
      machine.displays[result.port].received.push_back(static_cast<char>(r.ac));
      continue;
    }
    ended = result.end == StepEnd::kHalted ? RunResult{RunEnd::kHalted}
                                           : RunResult{RunEnd::kWaitingForInput, result.port};
    break;
  }
  r.storeInto(machine);
  return ended;
}

Machine loadMachine(const MemoryImage& image, std::uint8_t start) {
  Machine machine;
  for (std::size_t address = 0; address < kMemoryWords; ++address) {
    const int value = image.words[address].value;
    machine.memory[address] = value == kNoValue ? 0 : byteOf(static_cast<unsigned>(value));
  }
  machine.pc = start;
  return machine;
}

}  // namespace ovrik
