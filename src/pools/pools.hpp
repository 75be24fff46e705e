#pragma once

#include <cstdint>
#include <string_view>

#include "tables/tables.hpp"

namespace ovrik {

// Slot of the first word of page (in codeTable or poolTable) labelled name, or -1.
std::int16_t findInPage(const AssemblyState& state, std::int16_t page, TableId table,
                        std::string_view name);
// Index of the first variableTable or constantTable entry labelled name, or -1.
std::int16_t findInTable(const AssemblyState& state, TableId table, std::string_view name);
// Copies an entry into page's pool; a variable leaves variableTable.
void addToPool(AssemblyState& state, TableId table, std::int16_t page, std::int16_t index);

// Brings the variables and constants named by indirect operands into their page's pool.
void buildPagePools(AssemblyState& state);
// Resolves direct operands, then merges every pool into its page.
void rewriteOperands(AssemblyState& state);

}  // namespace ovrik
