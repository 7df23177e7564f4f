/* The practice's database-side functions for the embedded SQLite database,
 * loaded by the SQLite ODBC driver (LoadExt= in the connection string) or by
 * the sqlite3 shell (.load):
 *
 *   dbmstype()               'sqlite'
 *   now()                    local time, 'YYYY-MM-DD HH:MM:SS.ffffff'
 *   left(text, n)            the first n bytes of text (texts are 8-bit)
 *   DATEFORMAT(value, pat)   a stored date-time in the update-state form for
 *                            both patterns that the updater sends
 */
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include <stdio.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

static void dbmstype(sqlite3_context* context, int argc, sqlite3_value** argv) {
    (void)argc;
    (void)argv;
    sqlite3_result_text(context, "sqlite", -1, SQLITE_STATIC);
}

static void now(sqlite3_context* context, int argc, sqlite3_value** argv) {
    (void)argc;
    (void)argv;
    struct timeval tv;
    struct tm local;
    char text[96];
    gettimeofday(&tv, NULL);
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &local);
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%06ld", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, (long)tv.tv_usec);
    sqlite3_result_text(context, text, -1, SQLITE_TRANSIENT);
}

static void left(sqlite3_context* context, int argc, sqlite3_value** argv) {
    (void)argc;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    const unsigned char* text = sqlite3_value_text(argv[0]);
    const int length = sqlite3_value_bytes(argv[0]);
    sqlite3_int64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) n = 0;
    if (n > length) n = length;
    sqlite3_result_text(context, (const char*)text, (int)n, SQLITE_TRANSIENT);
}

/* Reads `count` digits at *p into *value; false when they are not all digits. */
static int digits(const unsigned char** p, int count, int* value) {
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned char c = (*p)[i];
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    *p += count;
    *value = v;
    return 1;
}

/* Both patterns name the same form: the date, the time, the milliseconds and
 * three zeros ('yyyy-mm-dd hh:MM:ss.sss000' in the Sybase style,
 * 'YYYY-MM-DD HH24:MI:SS.MS000' in the PostgreSQL style).  A stored text may
 * carry a fraction of any length, or none, or no time at all. */
static void dateformat(sqlite3_context* context, int argc, sqlite3_value** argv) {
    (void)argc;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    const char* pattern = (const char*)sqlite3_value_text(argv[1]);
    if (!pattern ||
        (strcmp(pattern, "yyyy-mm-dd hh:MM:ss.sss000") != 0 && strcmp(pattern, "YYYY-MM-DD HH24:MI:SS.MS000") != 0)) {
        sqlite3_result_error(context, "DATEFORMAT: unknown pattern", -1);
        return;
    }
    const unsigned char* p = sqlite3_value_text(argv[0]);
    int year, month, day, hour = 0, minute = 0, second = 0, millis = 0;
    int ok = p && digits(&p, 4, &year) && *p++ == '-' && digits(&p, 2, &month) && *p++ == '-' &&
             digits(&p, 2, &day);
    if (ok && (*p == ' ' || *p == 'T')) {
        ++p;
        ok = digits(&p, 2, &hour) && *p++ == ':' && digits(&p, 2, &minute);
        if (ok && *p == ':') {
            ++p;
            ok = digits(&p, 2, &second);
            if (ok && *p == '.') {
                ++p;
                int scale = 100;
                while (*p >= '0' && *p <= '9') {
                    millis += (*p - '0') * scale;
                    scale /= 10;
                    ++p;
                }
            }
        }
    }
    if (!ok || *p != '\0' || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
        sqlite3_result_error(context, "DATEFORMAT: not a date-time value", -1);
        return;
    }
    char text[96];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d000", year, month, day, hour, minute, second,
             millis);
    sqlite3_result_text(context, text, -1, SQLITE_TRANSIENT);
}

#ifdef _WIN32
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
int sqlite3_practicesqlite_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
    (void)error;
    SQLITE_EXTENSION_INIT2(api);
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function(db, "dbmstype", 0, pure, NULL, dbmstype, NULL, NULL);
    if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "now", 0, SQLITE_UTF8, NULL, now, NULL, NULL);
    if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "left", 2, pure, NULL, left, NULL, NULL);
    if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "DATEFORMAT", 2, pure, NULL, dateformat, NULL, NULL);
    return rc;
}

/* The generic entry point, for loaders that ask for it by its default name. */
#ifndef _WIN32
__attribute__((visibility("default")))
#endif
int sqlite3_extension_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
    return sqlite3_practicesqlite_init(db, error, api);
}
