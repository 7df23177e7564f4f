// The headless desktop of the native build: no windows, every dialog recorded.
#include "toolkit/toolkit.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "toolkit/headless/headless.h"

namespace toolkit {
namespace headless {
namespace {

struct State {
    std::vector<Dialog> dialogs;
    std::deque<LoginAnswer> login_answers;
    int busy_depth = 0;
    int busy_count = 0;
    std::map<std::string, std::optional<FunctionTable>> libraries;
    std::vector<std::string> library_log;
    int libraries_loaded = 0;
    std::function<void()> on_process_messages;
    std::optional<std::int64_t> local_ms;
};

State& state() {
    static State s;
    return s;
}

// A library handle: either an in-process table or a dlopen handle.
struct Library {
    std::string name;
    const FunctionTable* table = nullptr;
    void* shared_object = nullptr;
};

// "vorovuro.dll" is found as libvorovuro.so, first in TN_STANDIN_DIR, then on
// the loader's own search path.
void* open_shared_object(const std::string& name) {
    std::string stem = name;
    if (auto dot = stem.rfind('.'); dot != std::string::npos) stem.erase(dot);
    for (auto& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string file = "lib" + stem + ".so";
    if (const char* dir = std::getenv("TN_STANDIN_DIR"); dir && *dir) {
        if (void* h = dlopen((std::string(dir) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::vector<Dialog>& dialogs() { return state().dialogs; }
std::deque<LoginAnswer>& login_answers() { return state().login_answers; }
int busy_depth() { return state().busy_depth; }
int busy_count() { return state().busy_count; }
void register_library(const std::string& name, std::optional<FunctionTable> functions) {
    state().libraries[name] = std::move(functions);
}
std::vector<std::string>& library_log() { return state().library_log; }
int libraries_loaded_now() { return state().libraries_loaded; }
std::function<void()>& on_process_messages() { return state().on_process_messages; }
void set_local_time_ms(std::optional<std::int64_t> ms) { state().local_ms = ms; }
void reset() { state() = State{}; }

}  // namespace headless

using headless::Dialog;
using headless::DialogKind;
using headless::state;

void show_error(const std::string& text) { state().dialogs.push_back({DialogKind::error, text, "", nullptr, 0}); }

void show_message(const std::string& text) { state().dialogs.push_back({DialogKind::message, text, "", nullptr, 0}); }

int message_box(void* owner, const std::string& text, const std::string& caption, unsigned type) {
    state().dialogs.push_back({DialogKind::message_box, text, caption, owner, type});
    return 1;  // IDOK
}

bool login_dialog(const std::string& database, std::string& user_name, std::string& password) {
    (void)database;
    state().dialogs.push_back({DialogKind::login, user_name, "", nullptr, 0});
    auto& answers = state().login_answers;
    if (answers.empty()) return false;
    auto answer = std::move(answers.front());
    answers.pop_front();
    if (!answer) return false;
    user_name = answer->first.substr(0, 31);
    password = answer->second.substr(0, 31);
    return true;
}

BusyCursor::BusyCursor() : previous_(nullptr) {
    ++state().busy_depth;
    ++state().busy_count;
}

BusyCursor::~BusyCursor() { --state().busy_depth; }

void process_messages() {
    if (auto& hook = state().on_process_messages) hook();
}

std::uint32_t tick_count() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::int64_t local_time_ms() {
    if (state().local_ms) return *state().local_ms;
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void* load_library(const char* name) {
    auto& s = state();
    headless::Library lib{name};
    if (auto it = s.libraries.find(name); it != s.libraries.end()) {
        if (!it->second) return nullptr;
        lib.table = &*it->second;
    } else {
        lib.shared_object = headless::open_shared_object(name);
        if (!lib.shared_object) return nullptr;
    }
    s.library_log.push_back(std::string("load ") + name);
    ++s.libraries_loaded;
    return new headless::Library(std::move(lib));
}

void* find_function(void* library, const char* name) {
    auto* lib = static_cast<headless::Library*>(library);
    if (!lib) return nullptr;
    if (lib->table) {
        auto it = lib->table->find(name);
        return it == lib->table->end() ? nullptr : it->second;
    }
    return dlsym(lib->shared_object, name);
}

void free_library(void* library) {
    auto* lib = static_cast<headless::Library*>(library);
    if (!lib) return;
    state().library_log.push_back("free " + lib->name);
    --state().libraries_loaded;
    if (lib->shared_object) dlclose(lib->shared_object);
    delete lib;
}

void* global_alloc(std::size_t bytes) { return std::calloc(1, bytes); }

void global_free(void* block) { std::free(block); }

bool read_file_exclusive(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return false;
    bytes = std::move(content).str();
    return true;
}

// The headless locale's ANSI code page is Windows-1252.
namespace {
constexpr char16_t cp1252_high[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
}  // namespace

std::string utf16_to_ansi(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text) {
        const char16_t c = *text;
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (cp1252_high[i] == c && c != 0xFFFD) mapped = static_cast<char>(0x80 + i);
        out.push_back(mapped);
    }
    return out;
}

std::u16string ansi_to_utf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c >= 0x80 && c < 0xA0 && cp1252_high[c - 0x80] != 0xFFFD)
            out.push_back(cp1252_high[c - 0x80]);
        else
            out.push_back(c);
    }
    return out;
}

}  // namespace toolkit
