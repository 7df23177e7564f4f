// The practice database as the integration tests see it: a direct ODBC
// connection of the test's own (the same database that the stand-in
// vorovuro reaches), a reset to the practice schema, and a way to call the
// plug-in's exports as an installer does.
//
// tests/integration/run.sh runs every test twice: TN_PRACTICE_KIND=sqlite in a
// fresh working directory (the embedded tarvenix.db), and
// TN_PRACTICE_KIND=postgresql with TN_DATA_CONNECTION and PGHOST/PGPORT/
// PGUSER/PGDATABASE naming its private server.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace practice {

enum class DbKind { sqlite, postgresql };
const char* kind_name(DbKind kind);

// The kind that runs now, from TN_PRACTICE_KIND (sqlite when unset).
DbKind db_kind();

// The ODBC connection string of the test's own connection: the database that
// the stand-in uses by default.
std::string connection_string();

using Value = std::optional<std::string>;  // nullopt is NULL
using Row = std::vector<Value>;
using Rows = std::vector<Row>;

class PracticeDb {
public:
    PracticeDb();  // connects, autocommit on; throws when it cannot
    ~PracticeDb();
    PracticeDb(const PracticeDb&) = delete;
    PracticeDb& operator=(const PracticeDb&) = delete;

    DbKind kind() const { return kind_; }

    // Drops everything and applies the practice schema file of this kind,
    // as a user would (sqlite3 or psql).
    void reset();

    // Runs one statement; throws std::runtime_error with the database's
    // message when it fails.
    void exec(const std::string& sql);
    // Every row of a query, each value as the database's text (bytes as they
    // come), NULL as nullopt.
    Rows rows(const std::string& query);
    // First column of the first row; nullopt for no row or NULL.
    Value value(const std::string& query);

    // An SQL expression giving the stored bytes of a text expression as
    // upper-case hex, in Windows-1252 on both kinds (E9 for e acute).
    std::string hex_of(const std::string& expression) const;

private:
    void connect();
    void disconnect();
    struct Odbc;
    std::unique_ptr<Odbc> odbc_;
    DbKind kind_;
};

// Calls an export the way the installer does: pushes `parameters` so that
// the first one is on top, runs the export, and gives back what it left on
// the stack, top first.
using Export = void (*)(void* parent_window, int string_size, void* variables, void* stack_top);
std::vector<std::string> call_export(Export function, const std::vector<std::string>& parameters,
                                     int string_size = 8192);

// A test on a freshly reset practice database.
class PracticeTest : public ::testing::Test {
protected:
    void SetUp() override { db.reset(); }
    PracticeDb db;
};

}  // namespace practice

// The plug-in's exports, as the installer finds them.
extern "C" {
void exec_sql_string(void*, int, void*, void*);
void exec_sql_file(void*, int, void*, void*);
void exec_sql_file_ter(void*, int, void*, void*);
void exec_sql_into(void*, int, void*, void*);
void exec_sql_file_into(void*, int, void*, void*);
void exec_login(void*, int, void*, void*);
void exec_get_data_upd(void*, int, void*, void*);
void exec_load_table(void*, int, void*, void*);
void exec_load_table_where(void*, int, void*, void*);
void exec_load_sinonimi(void*, int, void*, void*);
}
