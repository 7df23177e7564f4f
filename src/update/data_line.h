// Update data files: one table row per line, values separated by commas,
// texts between single quotes.  A split line is a list of SQL literals that
// the loaders paste into statements as they are.
#pragma once

#include <string>
#include <string_view>

#include "db/script.h"

namespace tn {

// The entries of one data line (without its line end): "NULL" for an empty
// value and for (NULL), every other value a single-quoted SQL literal.
StrArray riga2array(std::string_view line);
// The same into `entries`, reusing its storage: the loaders' inner loop.
void riga2array(std::string_view line, StrArray& entries);

// Trims blanks and control characters, then strips one pair of enclosing
// single quotes from a text longer than two characters.
std::string unquote_value(std::string_view value);

// True for the empty text, NULL in any case, and exactly two single quotes.
bool is_null_value(std::string_view value);

}  // namespace tn
