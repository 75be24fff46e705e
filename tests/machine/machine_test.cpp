// One step of each instruction class, and whole runs, on memory set word by
// word. A case writes the machine as "020:105 025:304 pc:020 ac:610 k0:ab":
// words at addresses, PC, AC and the keys of port 0 or 1, all in the word
// notation, as a listing shows them.
#include "machine/machine.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

std::uint8_t byte(const std::string& notation) {
  const int value = wordValue(notation);
  EXPECT_GE(value, 0) << notation;
  return static_cast<std::uint8_t>(value);
}

std::string notation(std::uint8_t value) {
  return wordText(static_cast<std::int16_t>(value));
}

Machine machineFrom(const std::string& description) {
  Machine machine;
  std::istringstream parts(description);
  for (std::string part; parts >> part;) {
    const std::string name = part.substr(0, part.find(':'));
    const std::string value = part.substr(name.size() + 1);
    if (name == "pc") machine.pc = byte(value);
    if (name == "ac") machine.ac = byte(value);
    if (name == "k0" || name == "k1") machine.keyboards[name == "k1" ? 1 : 0].give(value);
    if (name.size() == 3) machine.memory[byte(name)] = byte(value);
  }
  return machine;
}

std::string valueIn(const Machine& machine, const std::string& name) {
  if (name == "pc") return notation(machine.pc);
  if (name == "ac") return notation(machine.ac);
  if (name == "steps") return std::to_string(machine.steps);
  if (name == "haltedAt") return notation(machine.haltedAt);
  return notation(machine.memory[byte(name)]);
}

// Every register and word the description names must hold its value.
void expectMachine(const Machine& machine, const std::string& description) {
  std::istringstream parts(description);
  for (std::string part; parts >> part;) {
    const std::string name = part.substr(0, part.find(':'));
    EXPECT_EQ(valueIn(machine, name), part.substr(name.size() + 1)) << name;
  }
}

struct StepCase {
  const char* name;
  const char* before;
  const char* after;
  StepResult result = {};  // the port counts for a step that waits or writes
};

class OneStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(OneStep, DoesWhatTheWordSays) {
  Machine machine = machineFrom(GetParam().before);
  const StepResult result = step(machine);
  EXPECT_EQ(result.end, GetParam().result.end);
  EXPECT_EQ(result.port, GetParam().result.port);
  expectMachine(machine, GetParam().after);
  EXPECT_EQ(machine.steps, GetParam().result.end == StepEnd::kWaiting ? 0U : 1U);
  EXPECT_EQ(machine.halted, GetParam().result.end == StepEnd::kHalted);
}

std::string caseName(const ::testing::TestParamInfo<StepCase>& test) {
  return test.param.name;
}

// Memory reference: the operand is a slot of the instruction's own page.
const StepCase kMemoryReference[] = {
    {"AndMasks", "020:005 025:512 pc:020 ac:720", "pc:021 ac:500"},
    {"TadAddsModulo256", "020:105 025:304 pc:020 ac:610", "pc:021 ac:114"},
    {"TadIndirectReachesAnyPage", "020:125 025:700 700:011 pc:020 ac:001", "pc:021 ac:012"},
    // slot 15 of page 0: PC is already in page 1, the operand still in page 0
    {"OperandIsInTheInstructionsPage", "017:103 003:007 023:100 pc:017", "pc:020 ac:007"},
    {"IszCountsWithoutSkip", "020:205 025:005 pc:020", "pc:021 025:006"},
    {"IszSkipsAtZero", "020:205 025:737 pc:020", "pc:022 025:000"},
    {"IncIsIszAndSkipsIndirectlyToo", "020:225 025:600 600:737 pc:020", "pc:022 600:000"},
    {"IszSkipWrapsFromTheLastAddress", "737:203 723:737 pc:737", "pc:001 723:000"},
    {"DcaStoresAndClears", "020:306 pc:020 ac:434", "pc:021 ac:000 026:434"},
    {"JmsStoresTheReturnAddress", "020:407 pc:020 ac:003", "pc:030 ac:003 027:021"},
    {"JmsIntoTheLastWordGoesOnAtZero", "020:437 037:737 pc:020", "pc:000 737:021"},
    {"JmpGoesToItsOperand", "020:503 pc:020", "pc:023"},
    {"JmpIndirectGoesThroughAWord", "020:533 033:612 pc:020", "pc:612"},
    {"ControlRunsIntoTheNextPage", "017:700 pc:017", "pc:020"},
    {"ControlRunsFromTheLastAddressToZero", "737:700 pc:737", "pc:000"},
};
INSTANTIATE_TEST_SUITE_P(MemoryReference, OneStep, ::testing::ValuesIn(kMemoryReference), caseName);

// Keyboard and display of ports 0 and 1: bit 0 skip, bit 1 transfer, bit 2 clear.
const StepCase kInputOutput[] = {
    {"SkfSkipsWhenAKeyIsThere", "020:601 pc:020 k0:a", "pc:022"},
    {"SkfOnAnEmptyQueueWaitsUndone", "020:601 pc:020 ac:123 k1:x", "pc:020 ac:123",
     StepEnd::kWaiting},
    {"SkfOfPort1WaitsWhilePort0HasKeys", "020:611 pc:020 k0:a", "pc:020", {StepEnd::kWaiting, 1}},
    {"KrsReadsTheHead", "020:602 pc:020 k0:AB", "pc:021 ac:201"},
    {"KrsOnAnEmptyQueueReadsZero", "020:602 pc:020 ac:737", "pc:021 ac:000"},
    {"KrbReadsPort1", "020:616 pc:020 k0:A k1:B", "pc:021 ac:202"},
    {"SkipReadAndDropTogether", "020:607 pc:020 k0:C", "pc:022 ac:203"},
    {"SdfSkipsWhenTheDisplayIsReady", "020:621 pc:020", "pc:022"},
    {"LdsWritesPort0AndKeepsAc", "020:622 pc:020 ac:110", "pc:021 ac:110", {StepEnd::kWrote, 0}},
    {"LdbWritesPort1", "020:636 pc:020 ac:110", "pc:021 ac:110", {StepEnd::kWrote, 1}},
    {"RdfWritesNothing", "020:624 pc:020 ac:110", "pc:021 ac:110"},
};
INSTANTIATE_TEST_SUITE_P(InputOutput, OneStep, ::testing::ValuesIn(kInputOutput), caseName);

// Operate: group 1 in the order CLA, CMA, IAC, RAL; group 2 skip, RAR, HLT.
const StepCase kOperate[] = {
    {"Nop", "020:700 pc:020 ac:123", "pc:021 ac:123"},
    {"IacWraps", "020:701 pc:020 ac:737", "ac:000"},
    {"RalRotatesBit7IntoBit0", "020:702 pc:020 ac:401", "ac:003"},
    {"Cma", "020:704 pc:020 ac:005", "ac:732"},
    {"CmaIacNegates", "020:705 pc:020 ac:005", "ac:733"},
    {"Cla", "020:710 pc:020 ac:123", "ac:000"},
    {"ClaIacSetsOne", "020:711 pc:020 ac:123", "ac:001"},
    {"ClaCmaSetsAllOnes", "020:714 pc:020 ac:123", "ac:737"},
    {"IacBeforeRal", "020:703 pc:020 ac:337", "ac:001"},
    {"HltHaltsAfterItself", "020:721 pc:020 ac:005", "pc:021 ac:005 haltedAt:020",
     StepEnd::kHalted},
    {"RarRotatesBit0IntoBit7", "020:722 pc:020 ac:001", "pc:021 ac:400"},
    {"SmaSkipsWhenNegative", "020:724 pc:020 ac:400", "pc:022"},
    {"SmaGoesOnWhenPositive", "020:724 pc:020 ac:337", "pc:021"},
    {"SzaSkipsOnZero", "020:730 pc:020", "pc:022"},
    {"SzaGoesOnOtherwise", "020:730 pc:020 ac:001", "pc:021"},
    {"SzaSmaSkipsOnNegative", "020:734 pc:020 ac:737", "pc:022"},
    {"SkipIsDecidedBeforeRar", "020:726 pc:020 ac:001", "pc:021 ac:400"},
    {"HltAfterATakenSkip", "020:731 021:721 pc:020", "pc:022 haltedAt:020", StepEnd::kHalted},
};
INSTANTIATE_TEST_SUITE_P(Operate, OneStep, ::testing::ValuesIn(kOperate), caseName);

TEST(Step, AHaltedMachineDoesNothing) {
  Machine machine = machineFrom("020:701 pc:020");
  machine.halted = true;
  EXPECT_EQ(step(machine).end, StepEnd::kHalted);
  expectMachine(machine, "pc:020 ac:000 steps:0");
}

TEST(Step, TheKeyboardFlagStaysSetUntilTheQueueIsEmpty) {
  Machine machine = machineFrom("000:604 001:604 002:604 k0:ab");
  step(machine);
  EXPECT_TRUE(machine.keyboards[0].ready());
  step(machine);
  EXPECT_FALSE(machine.keyboards[0].ready());
  EXPECT_EQ(step(machine).end, StepEnd::kDone);  // dropping from an empty queue does nothing
}

struct RunCase {
  const char* name;
  const char* before;  // PC starts at 000
  std::uint64_t limit;
  RunEnd end;
  const char* after;
  std::string display0 = "";
  std::string display1 = "";
  std::uint8_t waitingPort = 0;
};

class WholeRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(WholeRun, EndsAsExpected) {
  Machine machine = machineFrom(GetParam().before);
  const RunResult result = run(machine, GetParam().limit);
  EXPECT_EQ(result.end, GetParam().end);
  EXPECT_EQ(result.port, GetParam().waitingPort);
  expectMachine(machine, GetParam().after);
  EXPECT_EQ(machine.displays[0].received, GetParam().display0);
  EXPECT_EQ(machine.displays[1].received, GetParam().display1);
}

// The display flag cleared in step k is clear in step k + 1 and set from k + 2.
const RunCase kRuns[] = {
    {"DisplayStillBusyTheStepAfter", "000:624 001:621 002:721", 100, RunEnd::kHalted,
     "pc:003 steps:3"},
    {"DisplayReadyTwoStepsAfter", "000:624 001:700 002:621 003:721 004:721", 100, RunEnd::kHalted,
     "pc:005 steps:4"},
    {"ClearingAgainStartsTheCountAfresh", "000:624 001:624 002:621 003:721", 100, RunEnd::kHalted,
     "pc:004 steps:4"},
    {"WaitsForTheDisplayThenWritesBothPorts", "000:711 001:626 002:621 003:502 004:636 005:721",
     100, RunEnd::kHalted, "pc:006 ac:001 steps:7", "\x01", "\x01"},
    {"EchoesUntilTheInputEnds", "000:601 001:500 002:606 003:622 004:500 k0:hi", 100,
     RunEnd::kWaitingForInput, "pc:000 ac:311 steps:8", "hi"},
    {"WaitsOnThePortItsSkipNames", "000:606 001:611 k0:ab", 100, RunEnd::kWaitingForInput,
     "pc:001 ac:301 steps:1", "", "", 1},
    {"StopsAtTheStepLimit", "000:500", 1000, RunEnd::kStepLimit, "pc:000 steps:1000"},
    {"ALimitOfNoStepsRunsNone", "000:721", 0, RunEnd::kStepLimit, "pc:000 steps:0"},
    {"AHaltInTheLastStepIsAHalt", "000:700 001:721", 2, RunEnd::kHalted, "pc:002 steps:2"},
};
INSTANTIATE_TEST_SUITE_P(Runs, WholeRun, ::testing::ValuesIn(kRuns),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Run, GoesOnWhereTheLastRunStopped) {
  Machine machine = machineFrom("000:202 001:500");
  EXPECT_EQ(run(machine, 10).end, RunEnd::kStepLimit);
  EXPECT_EQ(run(machine, 25).end, RunEnd::kStepLimit);
  expectMachine(machine, "pc:001 steps:25 002:015");  // the 25th step was the 13th ISZ
}

}  // namespace
}  // namespace ovrik
