// The progress panel that the loader exports lay over the installer's page:
// a status line, a progress bar, and buttons 2 and 3 turned into pause/resume
// and abandon.  The person's presses reach the loader only through the two
// flags below.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace panel {

// Written by the panel's window procedure (and cleared by the export before a
// load), polled by the loader.
extern std::atomic<bool> paused;
extern std::atomic<bool> abort_requested;

// Byte total of the running load; 0 keeps the bar still.
extern std::atomic<std::uint32_t> progress_total;

// The bar runs from 0 to bar_range.
inline constexpr int bar_range = 30000;

// The status text changes at most once in this many milliseconds.
inline constexpr std::uint32_t text_interval_ms = 500;

// Whether a text reported at tick `now` replaces the one shown at
// `last_text_tick`; when it does, `last_text_tick` moves to `now`.  The
// difference is taken in unsigned 32-bit arithmetic, so the tick count's wrap
// after 49.7 days does not freeze the status line.
bool text_due(std::uint32_t now, std::uint32_t& last_text_tick);

// Where the bar stands for `done` bytes of `total`, truncated; none when the
// total is 0, which leaves the bar where it is.
std::optional<int> bar_position(std::uint32_t done, std::uint32_t total);

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
    bool installed_ = false;  // the window procedure was replaced and must go back
};

}  // namespace panel
