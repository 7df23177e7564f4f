// The practice's libraries as the plug-in holds them during one operation:
// each library, its functions and the connection have one owner here, so that
// they are released on every path by construction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/api.h"
#include "toolkit/toolkit.h"

namespace tn {

// A library loaded by bare file name, released when the object goes.
class Library {
public:
    explicit Library(const char* name);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }

    // The named function, or null.
    template <class Fn>
    Fn function(const char* name) const {
        return reinterpret_cast<Fn>(find(name));
    }

private:
    void* find(const char* name) const;
    void* handle_;
};

// The entry points of vorovuro.dll; an operation resolves the ones it uses.
struct VorovuroApi {
    API_create_default_data_connection_fn create = nullptr;
    API_DCN_destroy_fn destroy = nullptr;
    API_IU_sql_exec_fn exec = nullptr;
    API_IU_sql_into_fn into = nullptr;
    API_DCN_get_last_error_fn last_error = nullptr;
};

enum VorovuroNeeds : unsigned {
    need_exec = 1u << 0,
    need_into = 1u << 1,
    need_last_error = 1u << 2,
};

// Resolves create and destroy and the functions named in `needs`, in the
// order create, destroy, exec, into, get_last_error.  False when any of them
// is missing.
bool resolve_vorovuro(const Library& library, unsigned needs, VorovuroApi& api);

// A data connection created on construction and destroyed with the object.
class Connection {
public:
    explicit Connection(const VorovuroApi& api);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    explicit operator bool() const { return handle_ != 0; }
    DataConnection handle() const { return handle_; }

    void exec(const std::string& statement) const;
    // First column of the first row; empty for no row, NULL or a null text.
    std::string into(const std::string& query);
    std::string last_error() const;

private:
    const VorovuroApi& api_;
    DataConnection handle_;
    std::int32_t status_ = 0;  // the out-argument of every query; never read
};

// One operation's hold on vorovuro.dll: the library, the functions that the
// operation uses, the busy cursor when it shows one, and the connection,
// released in reverse order on every path.  Each failure shows its error
// dialog; `connection_failure` is the operation's own wording of the last.
class DataSession {
public:
    DataSession(unsigned needs, bool busy_cursor, const char* connection_failure);
    DataSession(const DataSession&) = delete;
    DataSession& operator=(const DataSession&) = delete;

    // The connection is ready.
    explicit operator bool() const { return connection_ && *connection_; }
    Connection& connection() { return *connection_; }

private:
    Library library_;
    VorovuroApi api_;
    std::optional<toolkit::BusyCursor> busy_;
    std::optional<Connection> connection_;
};

// A text returned by a practice library, copied at once; null reads as empty.
inline std::string library_text(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace tn
