// panel_test.dll: a test-only installer plug-in that drives the progress
// panel from an installer's page the way a loader export does, so that the
// panel is seen in a real installer window before (and apart from) any load.
// It is built from the same panel sources as the shipped plug-in and is never
// shipped itself.
//
//   panel_test::run MODE DIR
//
// DIR is a folder shared with the test script: the plug-in appends to
// DIR\panel.log and waits for the files the script creates there ("go",
// "remove", "finish"), so that the script can look at the window and press its
// buttons at each stage.  MODE:
//   full    waits for "go"; installs the panel; 24 reports 100 ms apart, each
//           followed by what the status line and the bar then show; "ready";
//           logs every change of the two flags until the abandon flag is set;
//           waits for "remove", removes the panel; waits for "finish".
//   quick   waits for "go"; installs the panel, 2001 reports as fast as they
//           come (their time is logged), the last at half the total; waits for
//           "remove", removes the panel; waits for "finish".
//   nopanel installs and removes the panel around one report on a page that
//           has no progress bar or status text, and logs the page's windows
//           that appeared.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "plugin/panel.h"

namespace {

constexpr UINT PBM_GETPOS = 0x408;

// The installer's string stack of this (unicode) build.
struct StackEntry {
    StackEntry* next;
    wchar_t text[1];
};

std::string pop(void* stack_top) {
    auto** top = static_cast<StackEntry**>(stack_top);
    if (!top || !*top) return {};
    StackEntry* entry = *top;
    *top = entry->next;
    char text[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, entry->text, -1, text, sizeof text - 1, nullptr, nullptr);
    GlobalFree(entry);
    return text;
}

void push(void* stack_top, int string_size, const wchar_t* text) {
    auto** top = static_cast<StackEntry**>(stack_top);
    if (!top || string_size <= 0) return;
    auto* entry = static_cast<StackEntry*>(GlobalAlloc(GPTR, sizeof(StackEntry) + string_size * sizeof(wchar_t)));
    if (!entry) return;
    lstrcpynW(entry->text, text, string_size);
    entry->next = *top;
    *top = entry;
}

class Session {
public:
    explicit Session(std::string dir) : dir_(std::move(dir)) {
        file_ = std::fopen((dir_ + "\\panel.log").c_str(), "ab");
    }
    ~Session() {
        if (file_) std::fclose(file_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void log(const char* format, ...) {
        if (!file_) return;
        va_list args;
        va_start(args, format);
        std::vfprintf(file_, format, args);
        va_end(args);
        std::fputc('\n', file_);
        std::fflush(file_);
    }

    // Waits for the script's file `name`; a script that died leaves the
    // installer free after two minutes.
    bool wait_for(const char* name) {
        const std::string path = dir_ + "\\" + name;
        for (int i = 0; i < 1200; ++i) {
            if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
            Sleep(100);
        }
        log("timeout waiting for %s", name);
        return false;
    }

private:
    std::string dir_;
    std::FILE* file_ = nullptr;
};

std::set<HWND> children(HWND page) {
    std::set<HWND> all;
    if (!page) return all;
    for (HWND w = GetWindow(page, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) all.insert(w);
    return all;
}

std::string class_of(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

std::string text_of(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// The page's windows that appeared since `before`, by class.
HWND appeared(HWND page, const std::set<HWND>& before, const char* window_class) {
    for (HWND w : children(page))
        if (!before.count(w) && lstrcmpiA(class_of(w).c_str(), window_class) == 0) return w;
    return nullptr;
}

void log_new_windows(Session& s, HWND page, const std::set<HWND>& before) {
    int count = 0;
    for (HWND w : children(page)) {
        if (before.count(w)) continue;
        ++count;
        s.log("new %s id=%d", class_of(w).c_str(), GetDlgCtrlID(w));
    }
    s.log("new windows %d", count);
}

void watch_flags(Session& s) {
    bool paused = false;
    for (int i = 0; i < 6000; ++i) {  // two minutes at most
        if (panel::abort_requested) {
            s.log("abort 1 paused %d", panel::paused ? 1 : 0);
            return;
        }
        if (panel::paused != paused) {
            paused = panel::paused;
            s.log("paused %d", paused ? 1 : 0);
        }
        Sleep(20);
    }
    s.log("timeout waiting for abandon");
}

void run_full(Session& s, HWND parent) {
    if (!s.wait_for("go")) return;
    HWND page = FindWindowExA(parent, nullptr, "#32770", nullptr);
    const std::set<HWND> before = children(page);
    panel::progress_total = 240000;
    std::optional<panel::PanelScope> scope;
    scope.emplace(parent);
    log_new_windows(s, page, before);
    HWND status_line = appeared(page, before, "Static");
    HWND bar = appeared(page, before, "msctls_progress32");
    s.log("total %u", static_cast<unsigned>(panel::progress_total));
    for (int i = 0; i < 24; ++i) {
        const std::uint32_t done = static_cast<std::uint32_t>(i + 1) * 10000;
        char text[80];
        std::snprintf(text, sizeof text, "Processing tab_prova (%d) @ %d secondi al termine", i + 1, 23 - i);
        const DWORD t0 = GetTickCount();
        panel::progress_update(text, done);
        const DWORD t1 = GetTickCount();
        const LRESULT position = SendMessageA(bar, PBM_GETPOS, 0, 0);
        s.log("report %d %lu %lu %u %ld %s|%s", i, t0, t1, done, static_cast<long>(position), text,
              text_of(status_line).c_str());
        Sleep(100);
    }
    s.log("ready");
    watch_flags(s);
    if (!s.wait_for("remove")) return;
    scope.reset();
    s.log("removed new=%d", static_cast<int>(children(page).size() - before.size()));
    s.wait_for("finish");
}

void run_quick(Session& s, HWND parent) {
    if (!s.wait_for("go")) return;
    HWND page = FindWindowExA(parent, nullptr, "#32770", nullptr);
    const std::set<HWND> before = children(page);
    panel::progress_total = 1000;
    std::optional<panel::PanelScope> scope;
    scope.emplace(parent);
    log_new_windows(s, page, before);
    // What one report costs the loader: a figure for the log, not a check.
    const DWORD start = GetTickCount();
    for (std::uint32_t i = 0; i <= 2000; ++i) panel::progress_update("Inizializzazione per tab_prova", i / 4);
    s.log("2001 reports in %lu ms", GetTickCount() - start);
    s.log("ready");
    if (!s.wait_for("remove")) return;
    scope.reset();
    s.log("removed new=%d", static_cast<int>(children(page).size() - before.size()));
    s.wait_for("finish");
}

void run_nopanel(Session& s, HWND parent) {
    HWND page = FindWindowExA(parent, nullptr, "#32770", nullptr);
    const std::set<HWND> before = children(page);
    s.log("page %d bar %d text %d", page ? 1 : 0, GetDlgItem(page, 1004) ? 1 : 0, GetDlgItem(page, 1006) ? 1 : 0);
    const std::string button2 = text_of(GetDlgItem(parent, 2));
    const std::string button3 = text_of(GetDlgItem(parent, 3));
    panel::progress_total = 1000;
    {
        panel::PanelScope scope(parent);
        panel::progress_update("Processing tab_prova (1) @ 0 secondi al termine", 500);
        log_new_windows(s, page, before);
    }
    s.log("buttons %s", text_of(GetDlgItem(parent, 2)) == button2 && text_of(GetDlgItem(parent, 3)) == button3
                            ? "unchanged"
                            : "changed");
    s.log("nopanel left new=%d", static_cast<int>(children(page).size() - before.size()));
}

}  // namespace

extern "C" __declspec(dllexport) void run(HWND parent, int string_size, void* variables, void* stack_top) {
    (void)variables;
    const std::string mode = pop(stack_top);
    Session s(pop(stack_top));
    s.log("mode %s", mode.c_str());
    if (mode == "full") run_full(s, parent);
    else if (mode == "quick") run_quick(s, parent);
    else if (mode == "nopanel") run_nopanel(s, parent);
    s.log("done %s", mode.c_str());
    push(stack_top, string_size, L"done");
}
