// Single-value queries: statements run through the query call, the value of
// the last one kept.
#pragma once

#include <string>

namespace tn {

// Splits `query` at ";", runs every piece as a query on one fresh connection,
// commits, and sets `result` to the last piece's value; the empty text on
// any failure.
void run_query_into(const std::string& query, std::string& result);

}  // namespace tn
