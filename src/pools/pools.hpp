#pragma once

#include <cstdint>
#include <string_view>

#include "tables/tables.hpp"

namespace ovrik {

// Brings the variables and constants named by indirect operands into their page's pool.
void buildPagePools(AssemblyState& state);
// Resolves direct operands, then merges every pool into its page.
void rewriteOperands(AssemblyState& state);

// Slot of the first word of page (in codeTable or poolTable) labelled name, or -1.
int findInPage(const AssemblyState& state, int page, TableId table, std::string_view name);
// True when a word of page or of its pool is labelled name.
bool isNamedInPage(const AssemblyState& state, int page, std::string_view name);
// Index of the first variableTable or constantTable entry labelled name, or -1.
int findInTable(const AssemblyState& state, TableId table, std::string_view name);
// Copies an entry into page's pool; a variable leaves variableTable.
void addToPool(AssemblyState& state, TableId table, int page, int index);
// Puts entry at the end of page's pool.
void appendToPool(AssemblyState& state, int page, const LineRecord& entry);

}  // namespace ovrik
