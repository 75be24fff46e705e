#include "tables/diagnostics.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ovrik {
namespace {

std::string moreOfTheKind(const Warning& first, std::int32_t more);

}  // namespace

std::vector<Warning> shownWarnings(const AssemblyState& state) {
  std::vector<Warning> kept = state.warnings;
  std::stable_sort(kept.begin(), kept.end(),
                   [](const Warning& a, const Warning& b) { return a.line < b.line; });
  std::array<int, kWarningKinds> shown{};
  std::array<const Warning*, kWarningKinds> first{};
  std::vector<Warning> result;
  for (const Warning& warning : kept) {
    const auto kind = static_cast<std::size_t>(warning.kind);
    if (first[kind] == nullptr) first[kind] = &warning;
    if (shown[kind] < kWarningsShownPerKind) {
      result.push_back(warning);
      ++shown[kind];
    }
  }
  for (std::size_t kind = 0; kind < kWarningKinds; ++kind) {
    const std::int32_t more = state.warningsGiven[kind] - shown[kind];
    if (more > 0 && first[kind] != nullptr) {
      result.push_back({0, moreOfTheKind(*first[kind], more), first[kind]->kind});
    }
  }
  return result;
}

std::string escapedText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      escaped += c;
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += "\\x";
      escaped += kHex[byte >> 4U];
      escaped += kHex[byte & 0xFU];
    }
  }
  return escaped;
}

namespace {

std::string counted(int count, std::string_view what, std::string_view plural);

}  // namespace

Note pageNeedNote(const AssemblyState& state, int page, int adding, WordKind addingKind) {
  std::array<int, 7> byKind{};
  const int words = state.fill(kCodeCount, page);
  const int pooled = state.fill(kPoolCount, page);
  for (int slot = 0; slot < std::min(words, int{kPageSize}); ++slot) {
    ++byKind[static_cast<std::size_t>(state.codeWord(page, slot).kind)];
  }
  byKind[static_cast<std::size_t>(WordKind::kCode)] += std::max(words - kPageSize, 0);
  for (int slot = 0; slot < std::clamp(pooled, 0, int{kPageSize}); ++slot) {
    ++byKind[static_cast<std::size_t>(state.word(kPoolTable, page, slot).kind)];
  }
  byKind[static_cast<std::size_t>(addingKind)] += adding;

  static constexpr std::array<std::array<std::string_view, 2>, 7> kNames{{
      {"code", "code"},
      {"inserted jump", "inserted jumps"},
      {"data word", "data words"},
      {"variable", "variables"},
      {"constant", "constants"},
      {"address constant", "address constants"},
      {"filler word", "filler words"},
  }};
  std::string parts;
  int total = 0;
  for (std::size_t kind = 0; kind < byKind.size(); ++kind) {
    if (byKind[kind] == 0) continue;
    if (!parts.empty()) parts += ", ";
    parts += counted(byKind[kind], kNames[kind][0], kNames[kind][1]);
    total += byKind[kind];
  }
  const std::string need = adding > 0 ? " needs at least " : " needs ";
  return {state.directiveLine[static_cast<std::size_t>(page)],
          "page " + std::to_string(page) + need + std::to_string(total) + " words: " + parts};
}

std::vector<Placed> recordsInUse(const AssemblyState& state) {
  std::vector<Placed> records;
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    for (const TableId table : {kCodeTable, kPoolTable}) {
      const int count = state.fill(table == kPoolTable ? kPoolCount : kCodeCount, page);
      for (int slot = 0; slot < std::clamp(count, 0, int{kPageSize}); ++slot) {
        records.push_back({&state.word(table, page, slot), table, page});
      }
    }
  }
  for (const TableId table : {kVariableTable, kConstantTable}) {
    for (int index = 0; index < std::clamp<int>(state.count(table), 0, kTableSize); ++index) {
      records.push_back({&state.table(table)[static_cast<std::size_t>(index)], table, -1});
    }
  }
  return records;
}

std::optional<Placed> labelled(const AssemblyState& state, std::string_view name) {
  for (const Placed& placed : recordsInUse(state)) {
    if (placed.record->label == name) return placed;
  }
  return std::nullopt;
}

namespace {

bool isWrittenInTheSource(const LineRecord& record);
std::string_view withoutBlanksAround(std::string_view text);
bool sameIgnoringCapitals(std::string_view a, std::string_view b);
bool isOneSlipAway(std::string_view a, std::string_view b);
std::optional<Note> arrayEndNote(const AssemblyState& state, std::string_view name);

}  // namespace

std::optional<Note> nearMissOf(const AssemblyState& state, std::string_view name) {
  if (name.empty()) return std::nullopt;
  if (const std::optional<Note> arrayEnd = arrayEndNote(state, name)) return arrayEnd;
  const std::vector<Placed> records = recordsInUse(state);
  const auto firstWhere = [&](auto matches) -> const LineRecord* {
    for (const Placed& placed : records) {
      const LineRecord& record = *placed.record;
      if (isWrittenInTheSource(record) && record.label != name && matches(record.label.view())) {
        return &record;
      }
    }
    return nullptr;
  };
  const std::string wanted(name);
  if (const LineRecord* blanks =
          firstWhere([&](std::string_view label) { return withoutBlanksAround(label) == name; })) {
    return Note{blanks->line, "the label on this line is " + quoted(blanks->label) + ", not " +
                                  wanted + ": a label starts in column 1 and ends at its comma"};
  }
  if (const LineRecord* capitals =
          firstWhere([&](std::string_view label) { return sameIgnoringCapitals(label, name); })) {
    return Note{capitals->line, "did you mean " + capitals->label.str() +
                                    ", labelled on this line? capitals count in a label"};
  }
  if (const LineRecord* slip =
          firstWhere([&](std::string_view label) { return isOneSlipAway(label, name); })) {
    return Note{slip->line, "did you mean " + slip->label.str() + ", labelled on this line?"};
  }
  return std::nullopt;
}

Note madeNameNote(std::string_view name, int page, std::int32_t line) {
  const std::string text(name);
  const std::string pageText = std::to_string(page);
  if (name == "END" + pageText) {
    return {line, text +
                      " is the label the assembler gives the word behind the jump it inserts "
                      "into page " +
                      pageText + ": give the word on this line another label"};
  }
  const std::string target(name.substr(0, name.empty() ? 0 : name.size() - 1));
  return {line, text + " is the name the assembler gives the word of page " + pageText +
                    " that holds the address of " + target + ", to reach " + target +
                    " in another page: give the word on this line another label"};
}

namespace {

std::string moreOfTheKind(const Warning& first, std::int32_t more) {
  const std::string like =
      first.line > 0 ? "like the one on line " + std::to_string(first.line) : "of this kind";
  return std::to_string(more) + (more == 1 ? " more warning " : " more warnings ") + like +
         (more == 1 ? " is" : " are") + " not shown";
}

std::string counted(int count, std::string_view what, std::string_view plural) {
  return std::to_string(count) + " " + std::string(count == 1 ? what : plural);
}

// The words the assembler makes carry names of its own, which no one misspells.
bool isWrittenInTheSource(const LineRecord& record) {
  return !record.labelMade && record.kind != WordKind::kAddressConstant &&
         record.kind != WordKind::kJump && record.kind != WordKind::kFiller &&
         !record.label.empty();
}

std::string_view withoutBlanksAround(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool sameIgnoringCapitals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return upper(x) == upper(y); });
}

// One letter changed, added, left out, or two neighbours swapped; names of
// two letters are too short for a guess to mean anything.
bool isOneSlipAway(std::string_view a, std::string_view b) {
  if (a.size() < 3 || b.size() < 3) return false;
  if (a.size() > b.size()) std::swap(a, b);
  std::size_t same = 0;
  while (same < a.size() && a[same] == b[same]) ++same;
  if (a.size() + 1 == b.size()) return a.substr(same) == b.substr(same + 1);
  if (a.size() != b.size()) return false;
  if (a.substr(same + 1) == b.substr(same + 1)) return true;  // one letter changed
  return same + 1 < a.size() && a[same] == b[same + 1] && a[same + 1] == b[same] &&
         a.substr(same + 2) == b.substr(same + 2);
}

// "BUF[5]" for an array BUF of 4 words.
std::optional<Note> arrayEndNote(const AssemblyState& state, std::string_view name) {
  const std::size_t open = name.find('[');
  if (open == std::string_view::npos || open == 0 || !name.ends_with(']')) return std::nullopt;
  const std::string_view base = name.substr(0, open);
  const std::string element = std::string(base) + "[";
  const LineRecord* declaration = nullptr;
  int words = 0;
  for (const Placed& placed : recordsInUse(state)) {
    const LineRecord& record = *placed.record;
    if (record.kind != WordKind::kData) continue;
    if (record.label == base && declaration == nullptr) declaration = &record;
    if (record.label == base || record.label.startsWith(element)) ++words;
  }
  if (declaration == nullptr) return std::nullopt;
  const std::string last =
      words > 1 ? element + std::to_string(words - 1) + "]" : std::string(base);
  return Note{declaration->line, std::string(base) + " has " + std::to_string(words) +
                                     (words == 1 ? " word, " : " words, ") + std::string(base) +
                                     (words > 1 ? " to " + last : "") + "; there is no " +
                                     std::string(name)};
}

}  // namespace
}  // namespace ovrik
