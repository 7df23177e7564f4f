// The functions that the plug-in takes from the practice's libraries by name:
// vorovuro.dll (the data connection) and velt32w0.dll (auxiliary services).
//
// This header is the single statement of their types.  The stand-in libraries
// compile against it as well, so a wrong calling convention or argument list
// is a compile error on every flavor, not a stack fault on 32-bit Windows.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TN_STDCALL __stdcall
#else
#define TN_STDCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// A connection handle: a 32-bit number, 0 meaning "no connection".
typedef std::int32_t DataConnection;

// vorovuro.dll.  Returned texts belong to the library and stay valid until
// the next call on the same connection; callers copy them at once and read a
// null pointer as the empty text.
typedef DataConnection(TN_STDCALL* API_create_default_data_connection_fn)(void);
typedef std::int32_t(TN_STDCALL* API_IU_sql_exec_fn)(DataConnection connection, const char* statement);
typedef const char*(TN_STDCALL* API_IU_sql_into_fn)(DataConnection connection, const char* statement,
                                                     std::int32_t* status);
typedef const char*(TN_STDCALL* API_DCN_get_last_error_fn)(DataConnection connection);
typedef std::int32_t(TN_STDCALL* API_DCN_destroy_fn)(DataConnection connection);

// velt32w0.dll.
typedef const char*(TN_STDCALL* GetGUid_fn)(void);
typedef std::int32_t(TN_STDCALL* AspettaEvento_fn)(const char* event_name, std::int32_t milliseconds);

#ifdef __cplusplus
}
#endif
