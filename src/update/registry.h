// The update registry: one row of `tables` per reference table, and the
// update state that it gives (a 26-character time stamp text).
#pragma once

#include <string>

#include "db/binding.h"

namespace tn {

// The state of a table that has none.
inline constexpr const char* no_update_state = "1980-01-01 00:00:00.000000";

// D for a registry name T: "tab_acc" for "acc_ric_pre" and "acc_catalogo",
// otherwise T itself.
std::string data_table_for(const std::string& table);

// "RUPDF01" ... "RUPDF22", or "RUPDERR" for any other name.
std::string update_id_for_table(const std::string& table);

// Minutes since 2000-01-01 00:00 (a query's answer or a data line's entry) as
// an update state; the empty text for an empty, NULL, zero or negative value
// and, after its message, for a value that is not an integer.
std::string frequenza2dataupd(const std::string& value);

// "SELECT dbmstype()"; an empty answer counts as "sybase".
std::string database_kind(Connection& connection);

// The registry steps that the state query and the table loader share: find
// the registry row of `table` (creating it when absent) and work out the
// update state, from `chiave1` of an unfinished load or from the data table's
// newest stamp within `filter`.
std::string registry_update_state(Connection& connection, const std::string& table, const std::string& kind,
                                  const std::string& filter);

// The data table's newest stamp within `filter` ("cprobl" by its frequency
// column), or no_update_state; the table loader's closing stamp too.
std::string newest_stamp(Connection& connection, const std::string& data_table, const std::string& kind,
                         const std::string& filter);

// The work of exec_get_data_upd.  `state` is empty exactly when the operation
// failed.
void read_update_state(const std::string& table, const std::string& filter, std::string& chiave2,
                       std::string& state);

}  // namespace tn
