// The progress panel that the loader exports lay over the installer's page:
// a status line, a progress bar, and buttons 2 and 3 turned into pause/resume
// and abandon.  The person's presses reach the loader only through the two
// flags below.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace panel {

// Written by the panel's window procedure (and cleared by the export before a
// load), polled by the loader.
extern std::atomic<bool> paused;
extern std::atomic<bool> abort_requested;

// Byte total of the running load; 0 keeps the bar still.
extern std::atomic<std::uint32_t> progress_total;

// The loaders' progress report: the status text (shown at most every 500 ms)
// and the bytes done, in the unit of progress_total (the bar follows every
// report).
void progress_update(const std::string& text, std::uint32_t done);

// Installs the panel around one load: clears both flags; with a parent window
// also replaces its window procedure and asks it to build the panel.  The
// destructor asks for the removal and gives the window its procedure back.
class PanelScope {
public:
    explicit PanelScope(void* parent_window);
    ~PanelScope();
    PanelScope(const PanelScope&) = delete;
    PanelScope& operator=(const PanelScope&) = delete;

private:
    void* parent_window_;
};

}  // namespace panel
