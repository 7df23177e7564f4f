#include "db/binding.h"

#include "toolkit/toolkit.h"

namespace tn {

Library::Library(const char* name) : handle_(toolkit::load_library(name)) {}

Library::~Library() {
    if (handle_) toolkit::free_library(handle_);
}

void* Library::find(const char* name) const { return handle_ ? toolkit::find_function(handle_, name) : nullptr; }

bool resolve_vorovuro(const Library& library, unsigned needs, VorovuroApi& api) {
    api.create = library.function<API_create_default_data_connection_fn>("API_create_default_data_connection");
    api.destroy = library.function<API_DCN_destroy_fn>("API_DCN_destroy");
    bool ok = api.create && api.destroy;
    if (needs & need_exec) ok = (api.exec = library.function<API_IU_sql_exec_fn>("API_IU_sql_exec")) && ok;
    if (needs & need_into) ok = (api.into = library.function<API_IU_sql_into_fn>("API_IU_sql_into")) && ok;
    if (needs & need_last_error)
        ok = (api.last_error = library.function<API_DCN_get_last_error_fn>("API_DCN_get_last_error")) && ok;
    return ok;
}

Connection::Connection(const VorovuroApi& api) : api_(api), handle_(api.create()) {}

Connection::~Connection() {
    if (handle_) api_.destroy(handle_);
}

void Connection::exec(const std::string& statement) const { api_.exec(handle_, statement.c_str()); }

std::string Connection::into(const std::string& query) { return library_text(api_.into(handle_, query.c_str(), &status_)); }

std::string Connection::last_error() const { return library_text(api_.last_error(handle_)); }

DataSession::DataSession(unsigned needs, bool busy_cursor, const char* connection_failure)
    : library_("vorovuro.dll") {
    if (!library_) {
        toolkit::show_error("Impossibile caricare la libreria vorovuro.dll (1)");
        return;
    }
    if (!resolve_vorovuro(library_, needs, api_)) {
        toolkit::show_error("Impossibile creare default data connection");
        return;
    }
    if (busy_cursor) busy_.emplace();
    connection_.emplace(api_);
    if (!*connection_) toolkit::show_error(connection_failure);
}

}  // namespace tn
