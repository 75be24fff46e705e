#include <cstddef>
#include <string>

#include "assemble/assemble.hpp"
#include "intake/intake.hpp"

namespace ovrik {
namespace {

constexpr std::size_t kLabelColumns = 12;
constexpr std::size_t kBodyColumns = 17;

void writeBlanks(ByteSink& listing, std::size_t count) {
  static constexpr std::string_view kBlanks = "                 ";
  listing.write(kBlanks.substr(0, count));
}

}  // namespace

void writeListing(const AssemblyState& state, ByteSink& listing) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    listing.write("/");
    listing.write(std::to_string(page));
    listing.write(kLineEnd);
    const int listed = state.listedWords(page);
    for (int slot = 0; slot < listed; ++slot) {
      listing.write(wordText(static_cast<std::int16_t>(page * kPageSize + slot)) + " ");
      writeListingLine(state.codeWord(page, slot), listing);
    }
  }
}

void writeListingLine(const LineRecord& record, ByteSink& listing) {
  std::size_t labelWidth = 0;
  if (!record.label.empty()) {
    listing.write(record.label);
    listing.write(",");
    labelWidth = record.label.size() + 1;
  }
  if (labelWidth < kLabelColumns) writeBlanks(listing, kLabelColumns - labelWidth);
  listing.write(record.body);
  if (record.body.size() < kBodyColumns) writeBlanks(listing, kBodyColumns - record.body.size());
  if (record.code.empty()) {
    writeBlanks(listing, 3);
  } else {
    listing.write(record.code);
  }
  if (!record.comment.empty()) {
    listing.write(" /");
    listing.write(record.comment);
  }
  listing.write(kLineEnd);
}

}  // namespace ovrik
