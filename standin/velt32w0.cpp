// The practice's auxiliary library: unique identifiers and waiting on a named
// event.
#ifdef _WIN32
#include <objbase.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "db/api.h"

#ifdef _WIN32
#define STANDIN_EXPORT
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
STANDIN_EXPORT const char* TN_STDCALL GetGUid(void);
STANDIN_EXPORT std::int32_t TN_STDCALL AspettaEvento(const char* event_name, std::int32_t milliseconds);
}

static_assert(std::is_same_v<decltype(&GetGUid), GetGUid_fn>);
static_assert(std::is_same_v<decltype(&AspettaEvento), AspettaEvento_fn>);

namespace {

// Sixteen fresh random bytes; false when the system gave none.
bool random_bytes(unsigned char (&bytes)[16]) {
#ifdef _WIN32
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) return false;
    static_assert(sizeof guid == 16);
    std::memcpy(bytes, &guid, 16);
    return true;
#else
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t got = 0;
    while (got < 16) {
        const ssize_t n = read(fd, bytes + got, 16 - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    return got == 16;
#endif
}

}  // namespace

extern "C" {

// A random (version 4) GUID in braces, e.g. {1B4E28BA-2FA1-41D2-883F-0016D3CCA427}.
// The text stays valid until the next call.
const char* TN_STDCALL GetGUid(void) {
    static char text[39];
    unsigned char b[16] = {};
    if (!random_bytes(b)) return "";
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

// Waits until the named event is signalled or `milliseconds` have passed.
// Returns 1 when the event came, 0 after the time ran out.
std::int32_t TN_STDCALL AspettaEvento(const char* event_name, std::int32_t milliseconds) {
    const std::uint32_t wait = milliseconds > 0 ? static_cast<std::uint32_t>(milliseconds) : 0;
#ifdef _WIN32
    // Opens the event when someone made it; otherwise makes one that nobody
    // signals, which turns the wait into a plain pause.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, event_name && *event_name ? event_name : nullptr);
    if (!event) {
        Sleep(wait);
        return 0;
    }
    const DWORD result = WaitForSingleObject(event, wait);
    CloseHandle(event);
    return result == WAIT_OBJECT_0 ? 1 : 0;
#else
    (void)event_name;  // nothing on Linux signals the practice's events
    timespec left{static_cast<time_t>(wait / 1000), static_cast<long>(wait % 1000) * 1000000L};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
    return 0;
#endif
}

}  // extern "C"
