// The reference tables that the table loader does not treat like the others:
// tab_acc and tab_vac keep the practice's own changes when a row is
// rewritten, cprobl is stamped by its frequency column and gets counter rows,
// and two tables fill a side table (notessn, tab_atc) from the same file.
//
// The loader calls one SpecialTable at fixed points of its algorithm; for an
// ordinary table every call does nothing.
#pragma once

#include <string>
#include <string_view>

#include "db/binding.h"
#include "db/script.h"

namespace tn {

// The data table's key and stamp columns, as the loader found them in the
// catalogue.  Positions index a split data line.
struct TableKeys {
    std::string k1;
    std::string k2;  // empty for a one-column key
    int p1 = 0;
    int p2 = 0;
    int ps = 0;
    bool two_columns() const { return !k2.empty(); }
};

// A value read from the database as an SQL string literal: enclosed in single
// quotes with every quote doubled.  `backslash_escapes`: the session reads a
// backslash in a literal as an escape, so it is doubled too.
std::string read_back_literal(std::string_view value, bool backslash_escapes);

class SpecialTable {
public:
    // `data_table` is D; `kind` is the database kind of the connection.
    SpecialTable(const std::string& data_table, const std::string& kind);

    // The column that stamps the table's rows.
    const char* stamp_column() const;

    // The number of columns that the rules address by position; a load of a
    // narrower table is refused before it changes anything.
    int columns_needed() const;

    // The line's stamp as the stamp test compares it with the quoted base
    // state; valid until the next call.
    std::string_view stamp_of(const std::string& entry);

    // A line whose row exists: puts the row's kept values back into `entries`
    // before the UPDATE is built.  `where` is the row condition.
    void merge_existing(Connection& connection, const std::string& where, StrArray& entries) const;

    // A line whose row was new, right after its INSERT: appends what goes
    // with a new row.  `last_error` is the connection's error as last read.
    void after_insert(const StrArray& entries, const TableKeys& keys, const std::string& last_error,
                      std::string& batch) const;

    // Every line that passed the stamp test: appends the side table's
    // statements.
    void mirror(Connection& connection, const StrArray& entries, const TableKeys& keys, std::string& batch) const;

    // After the vanished rows were deleted: removes from the side table what
    // went with them.  `instance` is the load's instance id.
    void mirror_deletions(Connection& connection, const std::string& instance, const TableKeys& keys) const;

private:
    enum class Rules { ordinary, tab_acc, tab_vac, cprobl, note_prescrizione, generica };
    Rules rules_;
    bool backslash_escapes_;
    std::string stamp_;
};

}  // namespace tn
