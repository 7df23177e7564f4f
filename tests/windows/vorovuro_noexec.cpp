// A vorovuro.dll that lacks API_IU_sql_exec: a practice library of the wrong
// version.  Creating a connection must never be reached with it.
#include "db/api.h"

extern "C" {

__declspec(dllexport) DataConnection TN_STDCALL API_create_default_data_connection(void) { return 1; }

__declspec(dllexport) std::int32_t TN_STDCALL API_DCN_destroy(DataConnection) { return 0; }

}
