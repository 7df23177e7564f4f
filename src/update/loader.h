// The table loader: brings one reference table into line with an update data
// file, keeping the practice's own changes where the table's rules say so.
#pragma once

#include <string>

namespace tn {

// "success", "abort" or "error".  `filter` is empty or a clause with its own
// keyword (typically WHERE ...) that bounds the snapshot and the stamps.
std::string load_table_data(const std::string& table, const std::string& data_file, const std::string& filter,
                            bool force);

}  // namespace tn
