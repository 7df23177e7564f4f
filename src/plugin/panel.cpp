// Panel state and decisions common to every platform.
#include "plugin/panel.h"

namespace panel {

std::atomic<bool> paused{false};
std::atomic<bool> abort_requested{false};
std::atomic<std::uint32_t> progress_total{0};

bool text_due(std::uint32_t now, std::uint32_t& last_text_tick) {
    if (static_cast<std::uint32_t>(now - last_text_tick) <= text_interval_ms) return false;
    last_text_tick = now;
    return true;
}

std::optional<int> bar_position(std::uint32_t done, std::uint32_t total) {
    if (total == 0) return std::nullopt;
    const double position = static_cast<double>(done) / static_cast<double>(total) * bar_range;
    // A report beyond the total would overflow the conversion; the bar is full
    // there anyway.
    if (position >= bar_range) return bar_range;
    return static_cast<int>(position);
}

}  // namespace panel
