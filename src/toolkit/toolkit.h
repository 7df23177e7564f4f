// What the plug-in needs of the desktop it runs on.
//
// The core (plugin/, db/, update/) reaches the platform only through this
// header.  toolkit/win32 is the real desktop; toolkit/headless is the Linux
// one of the native tests, which records every dialog and answers scripted
// logins (see toolkit/headless/headless.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace toolkit {

// ---- dialogs ---------------------------------------------------------------

// Modal error dialog: error icon, one OK button.  Library and connection
// failures use it.
void show_error(const std::string& text);

// Plain modal message dialog with one OK button: the failure's own text.
void show_message(const std::string& text);

// MessageBoxA owned by `owner` (the installer window, may be null).  Returns
// the button pressed.
int message_box(void* owner, const std::string& text, const std::string& caption, unsigned type);

// The database login dialog: title "Database Login", the database line, user
// name and masked password, at most 31 characters each.  On OK stores both
// fields and returns true; on Cancel (or close) leaves both untouched and
// returns false.
bool login_dialog(const std::string& database, std::string& user_name, std::string& password);

// ---- cursor and message loop ------------------------------------------------

// Shows the busy cursor for its lifetime and restores the cursor that was
// there before on every path.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    void* previous_;
};

// Dispatches the calling thread's pending window messages once.
void process_messages();

// Milliseconds since the system started; wraps after 49.7 days.
std::uint32_t tick_count();

// Local wall-clock time in milliseconds since an arbitrary fixed origin.
std::int64_t local_time_ms();

// ---- dynamic loading ----------------------------------------------------------

// A loaded library; null when the load failed.  `name` is a bare file name
// such as "vorovuro.dll".
void* load_library(const char* name);
void* find_function(void* library, const char* name);
void free_library(void* library);

// ---- global memory (the installer's stack entries) ---------------------------

// A fixed, zero-filled block (GMEM_FIXED | GMEM_ZEROINIT); null on failure.
void* global_alloc(std::size_t bytes);
void global_free(void* block);

// ---- files and text ----------------------------------------------------------

// Reads the whole file, opened for reading with sharing denied.  False when
// the file is missing, locked or unreadable.
bool read_file_exclusive(const std::string& path, std::string& bytes);

// Conversions between UTF-16 and the ANSI code page of the current locale;
// the unicode installer frames use them.  Characters without an ANSI form
// become the code page's default character.
std::string utf16_to_ansi(const char16_t* text);
std::u16string ansi_to_utf16(const std::string& text);

}  // namespace toolkit
