#include "practice_db.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "plugin/nsis.h"
#include "toolkit/toolkit.h"

namespace practice {

const char* kind_name(DbKind kind) { return kind == DbKind::postgresql ? "postgresql" : "sqlite"; }

DbKind db_kind() {
    const char* kind = std::getenv("TN_PRACTICE_KIND");
    if (!kind || !*kind || std::string_view(kind) == "sqlite") return DbKind::sqlite;
    if (std::string_view(kind) == "postgresql") return DbKind::postgresql;
    throw std::runtime_error(std::string("TN_PRACTICE_KIND is neither sqlite nor postgresql: ") + kind);
}

std::string connection_string() {
    if (const char* configured = std::getenv("TN_DATA_CONNECTION"); configured && *configured) return configured;
    // The test's own writes (fixtures) need no disk flushes; the stand-in
    // keeps its own settings.
    std::string text = "Driver=SQLite3;Database=" + (std::filesystem::current_path() / "tarvenix.db").string() +
                       ";SyncPragma=OFF;";
    if (const char* dir = std::getenv("TN_STANDIN_DIR"); dir && *dir) {
        text += std::string("LoadExt=") + dir + "/practice_sqlite.so;";
    }
    return text;
}

namespace {

std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLCHAR message[1024];
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1;
         SQL_SUCCEEDED(SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message, &length)); ++i) {
        if (!text.empty()) text += "; ";
        text += reinterpret_cast<const char*>(message);
    }
    return text;
}

void run_tool(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

struct PracticeDb::Odbc {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    ~Odbc() {
        if (connected) SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

// A statement handle of the test's connection, freed with its owner.
class Statement {
public:
    explicit Statement(SQLHDBC dbc) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_))) throw std::runtime_error("no statement");
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT get() const { return handle_; }

    void run(const std::string& sql) {
        const SQLRETURN rc = SQLExecDirect(handle_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                           static_cast<SQLINTEGER>(sql.size()));
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            throw std::runtime_error(sql + ": " + diagnostics(SQL_HANDLE_STMT, handle_));
        }
    }

private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

PracticeDb::PracticeDb() : kind_(db_kind()) { connect(); }
PracticeDb::~PracticeDb() = default;

void PracticeDb::connect() {
    odbc_ = std::make_unique<Odbc>();
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &odbc_->env);
    SQLSetEnvAttr(odbc_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, odbc_->env, &odbc_->dbc);
    const std::string text = connection_string();
    const SQLRETURN rc =
        SQLDriverConnect(odbc_->dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS,
                         nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        throw std::runtime_error("cannot connect with " + text + ": " + diagnostics(SQL_HANDLE_DBC, odbc_->dbc));
    }
    odbc_->connected = true;
}

void PracticeDb::disconnect() { odbc_.reset(); }

void PracticeDb::reset() {
    const std::string schema = std::string(TN_PRACTICE_SQL_DIR) + "/practice_" + kind_name(kind_) + ".sql";
    if (kind_ == DbKind::sqlite) {
        disconnect();
        const auto file = std::filesystem::current_path() / "tarvenix.db";
        std::filesystem::remove(file);
        std::filesystem::remove(file.string() + "-journal");
        // One transaction without syncing: a fresh test database needs no
        // durability, and each synced statement costs a disk flush.
        run_tool("sqlite3 -bail -cmd 'PRAGMA synchronous=OFF' -cmd 'BEGIN' '" + file.string() + "' '.read " + schema +
                 "' 'COMMIT'");
        connect();
    } else {
        exec("DROP SCHEMA public CASCADE");
        exec("CREATE SCHEMA public");
        run_tool("psql -q -X -v ON_ERROR_STOP=1 -f '" + schema + "' >/dev/null");
    }
}

void PracticeDb::exec(const std::string& sql) {
    Statement statement(odbc_->dbc);
    statement.run(sql);
}

Rows PracticeDb::rows(const std::string& query) {
    Statement statement(odbc_->dbc);
    statement.run(query);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement.get(), &columns);
    Rows result;
    while (SQL_SUCCEEDED(SQLFetch(statement.get()))) {
        Row row;
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
            std::string text;
            bool null = false;
            char buffer[4096];
            for (;;) {
                SQLLEN indicator = 0;
                const SQLRETURN rc = SQLGetData(statement.get(), c, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
                if (!SQL_SUCCEEDED(rc)) break;
                if (indicator == SQL_NULL_DATA) {
                    null = true;
                    break;
                }
                const bool whole = rc == SQL_SUCCESS;
                text.append(buffer, whole ? static_cast<std::size_t>(indicator) : sizeof buffer - 1);
                if (whole) break;
            }
            row.push_back(null ? Value() : Value(text));
        }
        result.push_back(std::move(row));
    }
    return result;
}

Value PracticeDb::value(const std::string& query) {
    Rows all = rows(query);
    if (all.empty() || all[0].empty()) return std::nullopt;
    return all[0][0];
}

std::string PracticeDb::hex_of(const std::string& expression) const {
    if (kind_ == DbKind::sqlite) return "hex(" + expression + ")";
    return "upper(encode(convert_to(" + expression + ", 'WIN1252'), 'hex'))";
}

std::vector<std::string> call_export(Export function, const std::vector<std::string>& parameters, int string_size) {
    using Entry = nsis::BasicStackEntry<char>;
    Entry* top = nullptr;
    auto push = [&](const std::string& text) {
        auto* entry = static_cast<Entry*>(toolkit::global_alloc(sizeof(Entry) + static_cast<std::size_t>(string_size)));
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(string_size - 1));
        std::memcpy(entry->text, text.data(), n);
        entry->text[n] = '\0';
        entry->next = top;
        top = entry;
    };
    for (auto it = parameters.rbegin(); it != parameters.rend(); ++it) push(*it);
    function(nullptr, string_size, nullptr, &top);
    std::vector<std::string> left;
    while (top) {
        Entry* next = top->next;
        left.emplace_back(top->text);
        toolkit::global_free(top);
        top = next;
    }
    return left;
}

}  // namespace practice
