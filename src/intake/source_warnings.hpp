#pragma once

// The reader's warnings about a line that reads, but most likely not as meant.

#include <cstdint>
#include <string_view>

#include "tables/tables.hpp"

namespace ovrik {

// The text before a line's first comma, when it has blanks around it.
void warnOfLabelNotInColumnOne(AssemblyState& state, std::int32_t line, std::string_view label);

// A comment in column 1 (the text after its slash) that is a page directive
// written like a comment, or a comment written like a page directive.
void warnOfDirectiveLikeComment(AssemblyState& state, std::int32_t line, std::string_view comment,
                                bool namesAPage);

// A number too large for a word, or a literal that does not read as its
// form says, which gives a word nobody wrote.
void warnOfLiteralThatDoesNotFit(AssemblyState& state, std::int32_t line, std::string_view text);

}  // namespace ovrik
