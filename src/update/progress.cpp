#include "update/progress.h"

#include <cstdio>

#include "plugin/panel.h"
#include "toolkit/toolkit.h"

namespace tn {

namespace {

// Local wall-clock milliseconds.  The start moves forward by every pause, so
// that paused time never counts as time spent loading.
std::int64_t load_start_time = 0;
std::int64_t pause_start_time = 0;

// Whole seconds between two instants, whichever comes first (a clock set back
// during a load must not make the estimate negative).
std::int64_t seconds_between(std::int64_t from_ms, std::int64_t to_ms) {
    const std::int64_t difference = to_ms - from_ms;
    return (difference < 0 ? -difference : difference) / 1000;
}

}  // namespace

std::uint32_t progress_total_for(std::uint64_t file_size) {
    // The counters are 32-bit: a file beyond 4 GB keeps the largest total
    // they can reach rather than a total wrapped to a few bytes.
    constexpr std::uint64_t largest = 0xFFFFFF80u;
    const std::uint64_t total = file_size / 128 * 128;
    return static_cast<std::uint32_t>(total > largest ? largest : total);
}

std::string time_left_text(std::int64_t remaining) {
    char text[64];
    if (remaining < 60)
        std::snprintf(text, sizeof text, "%lld secondi al termine", static_cast<long long>(remaining));
    else if (remaining < 3600)
        std::snprintf(text, sizeof text, "%lld min %.2lld sec al termine", static_cast<long long>(remaining / 60),
                      static_cast<long long>(remaining % 60));
    else
        std::snprintf(text, sizeof text, "%lld ore %.2lld min al termine", static_cast<long long>(remaining / 3600),
                      static_cast<long long>(remaining % 3600 / 60));
    return text;
}

void start_load_clock() { load_start_time = toolkit::local_time_ms(); }

void update_load_progress(const std::string& table, std::uint32_t& bytes_read, std::int32_t lines_read,
                          AspettaEvento_fn wait) {
    const std::int64_t elapsed = seconds_between(load_start_time, toolkit::local_time_ms());
    const std::uint32_t total = panel::progress_total;
    if (bytes_read > total) bytes_read = total;

    std::int64_t remaining = 0;
    if (bytes_read > 0) {
        const double estimated = static_cast<double>(total) / static_cast<double>(bytes_read) *
                                 static_cast<double>(elapsed);
        // Far beyond any real load, but the conversion must stay defined.
        remaining = estimated >= 9.0e18 ? std::int64_t{9000000000000000000} - elapsed
                                        : static_cast<std::int64_t>(estimated) - elapsed;
    }

    panel::progress_update(
        "Processing " + table + " (" + std::to_string(lines_read) + ") @ " + time_left_text(remaining), bytes_read);

    pause_start_time = toolkit::local_time_ms();
    while (panel::paused) {
        toolkit::process_messages();
        if (wait) wait("LoadTable", 500);
    }
    load_start_time = toolkit::local_time_ms() + load_start_time - pause_start_time;
}

}  // namespace tn
