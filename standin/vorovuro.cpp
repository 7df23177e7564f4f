// The practice's data-connection library: the five API_ functions over ODBC
// (odbc32 on Windows and under wine, unixODBC on Linux).
//
// The default data connection is the ODBC connection string in
// TN_DATA_CONNECTION, or, when that is unset, the embedded practice database:
// tarvenix.db in the working directory through the SQLite ODBC driver, with the
// practice's functions (practice_sqlite.so) loaded into it.
//
// A call of API_IU_sql_exec may carry many statements (the table loader sends
// ~300 at a time); they run one by one on one transaction, and a statement that
// fails neither stops the others nor undoes them.  Connections are not shared
// between threads: the plug-in calls from one thread at a time.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <type_traits>

#include "db/api.h"
#include "statements.h"

#ifdef _WIN32
#define STANDIN_EXPORT
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
STANDIN_EXPORT DataConnection TN_STDCALL API_create_default_data_connection(void);
STANDIN_EXPORT std::int32_t TN_STDCALL API_IU_sql_exec(DataConnection connection, const char* statement);
STANDIN_EXPORT const char* TN_STDCALL API_IU_sql_into(DataConnection connection, const char* statement,
                                                      std::int32_t* status);
STANDIN_EXPORT const char* TN_STDCALL API_DCN_get_last_error(DataConnection connection);
STANDIN_EXPORT std::int32_t TN_STDCALL API_DCN_destroy(DataConnection connection);
}

static_assert(std::is_same_v<decltype(&API_create_default_data_connection), API_create_default_data_connection_fn>);
static_assert(std::is_same_v<decltype(&API_IU_sql_exec), API_IU_sql_exec_fn>);
static_assert(std::is_same_v<decltype(&API_IU_sql_into), API_IU_sql_into_fn>);
static_assert(std::is_same_v<decltype(&API_DCN_get_last_error), API_DCN_get_last_error_fn>);
static_assert(std::is_same_v<decltype(&API_DCN_destroy), API_DCN_destroy_fn>);

namespace {

// One ODBC handle, freed with its owner.
class OdbcHandle {
public:
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
    }
    ~OdbcHandle() {
        if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    SQLHANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The diagnostic messages of a handle, joined by line breaks.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLCHAR message[1024];
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1;
         SQL_SUCCEEDED(SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message, &length)); ++i) {
        if (!text.empty()) text += "\r\n";
        text.append(reinterpret_cast<const char*>(message));
    }
    return text.empty() ? std::string("unknown database error") : text;
}

// ---------------------------------------------------------------- where things are

#ifdef _WIN32
// Under wine the ODBC drivers are Linux libraries and take Unix paths; on
// Windows proper the path stays as it is.
std::string driver_path(const std::string& path) {
    using ToUnix = char*(CDECL*)(const WCHAR*);
    static const auto to_unix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix || path.empty() || path[0] == '/') return path;
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);
    char* unix_path = to_unix(wide.c_str());
    if (!unix_path) return path;
    std::string result(unix_path);
    HeapFree(GetProcessHeap(), 0, unix_path);
    return result;
}

std::string library_dir() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&API_create_default_data_connection), &self);
    char path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameA(self, path, sizeof path);
    std::string dir(path, n);
    const auto slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string working_dir() {
    char path[MAX_PATH * 2];
    const DWORD n = GetCurrentDirectoryA(sizeof path, path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string(".");
}

bool file_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
constexpr char dir_separator = '\\';
#else
std::string driver_path(const std::string& path) { return path; }

std::string library_dir() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&API_create_default_data_connection), &info) || !info.dli_fname) return ".";
    std::string dir(info.dli_fname);
    const auto slash = dir.rfind('/');
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string working_dir() {
    char path[4096];
    return getcwd(path, sizeof path) ? std::string(path) : std::string(".");
}

bool file_exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
constexpr char dir_separator = '/';
#endif

// The practice extension: named by TN_PRACTICE_EXTENSION, else beside this
// library, else in the Linux folder of the distribution (dist/standin/linux
// beside dist/standin/amd64 and dist/standin/x86).  Empty when none is found.
std::string practice_extension() {
    if (const char* named = std::getenv("TN_PRACTICE_EXTENSION"); named && *named) return driver_path(named);
    const std::string dir = library_dir();
    const std::string candidates[] = {
        dir + dir_separator + "practice_sqlite.so",
        dir + dir_separator + ".." + dir_separator + "linux" + dir_separator + "practice_sqlite.so",
    };
    for (const auto& candidate : candidates) {
        if (file_exists(candidate)) return driver_path(candidate);
    }
    return {};
}

std::string default_connection_string() {
    if (const char* configured = std::getenv("TN_DATA_CONNECTION"); configured && *configured) return configured;
    // SyncPragma=FULL: the durability that the sqlite3 shell gives by default;
    // the driver's own default would be weaker.
    std::string text = "Driver=SQLite3;Database=" + driver_path(working_dir() + dir_separator + "tarvenix.db") +
                       ";SyncPragma=FULL;";
    const std::string extension = practice_extension();
    if (!extension.empty()) text += "LoadExt=" + extension + ";";
    return text;
}

// ---------------------------------------------------------------- connections

class Session {
public:
    bool open(const std::string& connection_string) {
        if (!env_) return false;
        SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!connect(connection_string)) return false;
        // One failing statement aborts a whole PostgreSQL transaction, while
        // the practice's scripts expect the others to stand.  psqlODBC rolls
        // back just the failed statement by default; a connection string that
        // asks it to roll back the whole transaction is overruled, and a
        // driver that does neither gets a savepoint of ours per statement.
        if (postgres_ && !driver_isolates_statements()) {
            disconnect();
            if (!connect(connection_string + ";Protocol=7.4-2;")) return false;
            own_savepoints_ = postgres_ && !driver_isolates_statements();
        }
        return true;
    }

    ~Session() { disconnect(); }

    // Runs every statement of `text`; the first failure is kept as the last
    // error.  With `answer`, also takes the first column of the first row of
    // the first statement that gives rows.  Returns the number of failures.
    int run(const char* text, std::string* answer) {
        last_error_.clear();
        int count = 0;
        standin::for_each_statement(text, [&](std::string_view) { ++count; });
        int index = 0, failures = 0;
        bool answered = false;
        standin::for_each_statement(text, [&](std::string_view piece) {
            ++index;
            std::string error;
            if (!run_one(piece, answer && !answered ? answer : nullptr, answered, error)) {
                if (failures++ == 0) {
                    last_error_ = error;
                    if (count > 1) {
                        last_error_ += "\r\nStatement " + std::to_string(index) + " of " + std::to_string(count) +
                                       ": ";
                        last_error_.append(piece.substr(0, 1000));
                    }
                }
            }
        });
        return failures;
    }

    const std::string& last_error() const { return last_error_; }
    std::string answer;

private:
    bool end_transaction(SQLSMALLINT completion, std::string& error) {
        if (SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), completion))) return true;
        error = diagnostics(SQL_HANDLE_DBC, dbc_->get());
        return false;
    }

    bool connect(const std::string& connection_string) {
        dbc_ = std::make_unique<OdbcHandle>(SQL_HANDLE_DBC, env_.get());
        if (!*dbc_) return false;
        SQLCHAR out[1024];
        SQLSMALLINT out_length = 0;
        const SQLRETURN rc = SQLDriverConnect(
            dbc_->get(), nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection_string.c_str())),
            SQL_NTS, out, sizeof out, &out_length, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            std::fprintf(stderr, "vorovuro: connection failed: %s\n", diagnostics(SQL_HANDLE_DBC, dbc_->get()).c_str());
            return false;
        }
        connected_ = true;
        SQLSetConnectAttr(dbc_->get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        SQLCHAR dbms[64] = {};
        SQLSMALLINT dbms_length = 0;
        SQLGetInfo(dbc_->get(), SQL_DBMS_NAME, dbms, sizeof dbms, &dbms_length);
        postgres_ = std::string_view(reinterpret_cast<const char*>(dbms)).find("PostgreSQL") != std::string_view::npos;
        stmt_ = std::make_unique<OdbcHandle>(SQL_HANDLE_STMT, dbc_->get());
        return static_cast<bool>(*stmt_);
    }

    // Ends the connection; what was not committed is rolled back.
    void disconnect() {
        stmt_.reset();
        if (connected_) {
            SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), SQL_ROLLBACK);
            SQLDisconnect(dbc_->get());
            connected_ = false;
        }
        dbc_.reset();
    }

    // Marks the transaction, fails a statement, and looks whether the mark
    // survived: only then does a failure leave the earlier work alone.
    bool driver_isolates_statements() {
        direct("SELECT set_config('tn.isolation_probe', 'kept', true)");
        SQLFreeStmt(stmt_->get(), SQL_CLOSE);
        direct("SELECT 1/0");
        SQLFreeStmt(stmt_->get(), SQL_CLOSE);
        std::string mark;
        if (direct("SELECT current_setting('tn.isolation_probe', true)")) fetch_first_value(mark);
        SQLFreeStmt(stmt_->get(), SQL_CLOSE);
        SQLEndTran(SQL_HANDLE_DBC, dbc_->get(), SQL_ROLLBACK);
        return mark == "kept";
    }

    bool direct(std::string_view sql) {
        const SQLRETURN rc = SQLExecDirect(stmt_->get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())),
                                           static_cast<SQLINTEGER>(sql.size()));
        return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    }

    bool run_one(std::string_view piece, std::string* answer, bool& answered, std::string& error) {
        if (standin::is_word(piece, "commit")) return end_transaction(SQL_COMMIT, error);
        if (standin::is_word(piece, "rollback")) return end_transaction(SQL_ROLLBACK, error);
        if (own_savepoints_) {
            direct("SAVEPOINT tn_statement");
            SQLFreeStmt(stmt_->get(), SQL_CLOSE);
        }
        if (!postgres_ && standin::quote_left_calls(piece, rewritten_)) piece = rewritten_;
        const bool ok = direct(piece);
        if (!ok) {
            error = diagnostics(SQL_HANDLE_STMT, stmt_->get());
        } else if (answer) {
            answered = fetch_first_value(*answer);
        }
        SQLFreeStmt(stmt_->get(), SQL_CLOSE);
        if (own_savepoints_) {
            direct(ok ? "RELEASE SAVEPOINT tn_statement" : "ROLLBACK TO SAVEPOINT tn_statement");
            SQLFreeStmt(stmt_->get(), SQL_CLOSE);
        }
        return ok;
    }

    // True when the statement gave rows (even none); the value is empty for
    // no row and for NULL.
    bool fetch_first_value(std::string& value) {
        value.clear();
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_->get(), &columns)) || columns < 1) return false;
        if (!SQL_SUCCEEDED(SQLFetch(stmt_->get()))) return true;
        char buffer[4096];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt_->get(), 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
            if (!SQL_SUCCEEDED(rc) || indicator == SQL_NULL_DATA) break;
            const std::size_t got = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer))
                                        ? sizeof buffer - 1
                                        : static_cast<std::size_t>(indicator);
            value.append(buffer, got);
            if (rc == SQL_SUCCESS) break;
        }
        return true;
    }

    OdbcHandle env_{SQL_HANDLE_ENV, SQL_NULL_HANDLE};
    std::unique_ptr<OdbcHandle> dbc_;
    std::unique_ptr<OdbcHandle> stmt_;  // reused by every statement
    bool connected_ = false;
    bool postgres_ = false;
    bool own_savepoints_ = false;  // PostgreSQL without the driver's statement rollback
    std::string last_error_;
    std::string rewritten_;  // a statement changed for SQLite's grammar
};

// Handles are small numbers, since a pointer does not fit in the 32-bit handle
// on amd64.
std::map<DataConnection, std::unique_ptr<Session>>& sessions() {
    static std::map<DataConnection, std::unique_ptr<Session>> table;
    return table;
}

Session* find(DataConnection handle) {
    const auto it = sessions().find(handle);
    return it == sessions().end() ? nullptr : it->second.get();
}

const char* const invalid_handle = "invalid data connection";

}  // namespace

extern "C" {

DataConnection TN_STDCALL API_create_default_data_connection(void) {
    try {
        auto session = std::make_unique<Session>();
        if (!session->open(default_connection_string())) return 0;
        static DataConnection next = 0;
        do {
            next = next == INT32_MAX ? 1 : next + 1;
        } while (find(next));
        sessions()[next] = std::move(session);
        return next;
    } catch (...) {
        return 0;
    }
}

std::int32_t TN_STDCALL API_IU_sql_exec(DataConnection connection, const char* statement) {
    try {
        Session* session = find(connection);
        if (!session || !statement) return -1;
        return session->run(statement, nullptr) == 0 ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

const char* TN_STDCALL API_IU_sql_into(DataConnection connection, const char* statement, std::int32_t* status) {
    try {
        Session* session = find(connection);
        if (!session || !statement) {
            if (status) *status = -1;
            return "";
        }
        session->answer.clear();
        const int failures = session->run(statement, &session->answer);
        if (status) *status = failures == 0 ? 0 : -1;
        return session->answer.c_str();
    } catch (...) {
        if (status) *status = -1;
        return "";
    }
}

const char* TN_STDCALL API_DCN_get_last_error(DataConnection connection) {
    const Session* session = find(connection);
    return session ? session->last_error().c_str() : invalid_handle;
}

std::int32_t TN_STDCALL API_DCN_destroy(DataConnection connection) {
    try {
        // The session's end rolls back whatever was not committed.
        return sessions().erase(connection) == 1 ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
