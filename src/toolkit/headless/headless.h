// Test controls of the headless desktop: what the native tests use to see the
// dialogs that the code showed, to answer the login dialog, to stand in-process
// libraries in for vorovuro.dll and velt32w0.dll, and to drive the clocks.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace toolkit::headless {

enum class DialogKind { error, message, message_box, login };

struct Dialog {
    DialogKind kind;
    std::string text;     // for a login: the user name offered
    std::string caption;  // message_box only
    void* owner = nullptr;
    unsigned type = 0;
    bool operator==(const Dialog&) const = default;
};

// Every dialog shown since the last reset, in order.
std::vector<Dialog>& dialogs();

// Answers for the login dialog, taken in order; an empty optional, or an
// exhausted queue, is a press on Cancel.
using LoginAnswer = std::optional<std::pair<std::string, std::string>>;
std::deque<LoginAnswer>& login_answers();

// Busy cursor: how many BusyCursor objects are alive now, and how many were
// ever made.
int busy_depth();
int busy_count();

// An in-process library: function name to address.  A registered name shadows
// the file of that name; registering std::nullopt makes its load fail.
using FunctionTable = std::map<std::string, void*>;
void register_library(const std::string& name, std::optional<FunctionTable> functions);
// Loads and releases of libraries, by name ("load vorovuro.dll", "free vorovuro.dll").
std::vector<std::string>& library_log();
int libraries_loaded_now();

// Called by process_messages(); lets a test act as the person pressing buttons.
std::function<void()>& on_process_messages();

// Clock: local_time_ms() answers this value when set.
void set_local_time_ms(std::optional<std::int64_t> ms);

// Clears everything above back to its start.
void reset();

}  // namespace toolkit::headless
