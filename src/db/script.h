// SQL scripts: a text of statements joined by a separator, run in order on
// one fresh data connection and committed.
#pragma once

#include <string>
#include <vector>

namespace tn {

// The one list type of the plug-in: 8-bit strings indexed from 0.
using StrArray = std::vector<std::string>;

// Replaces `list` with the pieces of `text` between occurrences of
// `separator`, in order, untrimmed, empty pieces included.  An empty text
// gives an empty list; an empty separator gives the whole text as one piece.
// A separator of several characters is dropped whole.
void string2array(const std::string& text, const std::string& separator, StrArray& list);

// The whole file, its bytes unchanged, up to the first zero byte; the empty
// text when the file is missing, locked or unreadable.
std::string read_script_file(const std::string& path);

// Runs every piece of `text` and then "commit": 0, or -1 on failure.
int run_statements(const std::string& text, const std::string& separator);
int run_script_file(const std::string& path, const std::string& separator);

}  // namespace tn
