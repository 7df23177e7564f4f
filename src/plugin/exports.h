// The exports' common shape: the installer's calling convention (C, four
// arguments, no result) and the guard that keeps every failure inside the
// plug-in.
#pragma once

#include <string>

#include "plugin/nsis.h"

#if defined(_WIN32) && !defined(_WIN64)
#define TN_CDECL __cdecl
#else
#define TN_CDECL
#endif

// Every export has this signature; the export table (tn_dll_sql_exec.def)
// gives it its undecorated name.
#define TN_EXPORT(name) \
    extern "C" void TN_CDECL name(void* parent_window, int string_size, void* variables, void* stack_top)

namespace nsis {

// Runs `work` and pushes `fallback` when a failure escapes it, so that nothing
// is thrown into the installer.
template <class Work>
void guarded(Work&& work, const char* fallback) {
    try {
        work();
    } catch (...) {
        try {
            stack_push(fallback);
        } catch (...) {
        }
    }
}

}  // namespace nsis
