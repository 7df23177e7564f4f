// A vorovuro.dll whose statement execution fails by raising: a library that
// breaks in the middle of a script.  The plug-in must show the failure's own
// text, skip the rest of the script and still destroy the connection.
#include <stdexcept>

#include "db/api.h"

extern "C" {

__declspec(dllexport) DataConnection TN_STDCALL API_create_default_data_connection(void) { return 7; }

__declspec(dllexport) std::int32_t TN_STDCALL API_IU_sql_exec(DataConnection, const char* statement) {
    throw std::runtime_error(std::string("Violazione di accesso eseguendo: ") + statement);
}

__declspec(dllexport) const char* TN_STDCALL API_IU_sql_into(DataConnection, const char*, std::int32_t*) {
    return "";
}

__declspec(dllexport) const char* TN_STDCALL API_DCN_get_last_error(DataConnection) { return ""; }

__declspec(dllexport) std::int32_t TN_STDCALL API_DCN_destroy(DataConnection) { return 0; }

}
