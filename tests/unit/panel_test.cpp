#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugin/panel.h"
#include "plugin/panel_headless.h"

namespace {

struct TickCase {
    std::uint32_t last, now;
    bool due;
};

TEST(PanelThrottle, TextDueByUnsignedTickDifference) {
    const TickCase cases[] = {
        {0, 1000, true},                  // first text of a fresh library
        {1000, 1000, false},              // same tick
        {1000, 1100, false},
        {1000, 1500, false},              // exactly the interval does not count
        {1000, 1501, true},
        {0xFFFFFF00u, 0x000000F5u, true},   // across the wrap: 501 ms
        {0xFFFFFF00u, 0x000000F4u, false},  // across the wrap: 500 ms
        {0xFFFFFF00u, 0x00000010u, false},  // across the wrap: 272 ms
        {5000, 4000, true},               // a clock set back reads as a long wait
    };
    for (const auto& c : cases) {
        std::uint32_t last = c.last;
        EXPECT_EQ(panel::text_due(c.now, last), c.due) << c.last << " -> " << c.now;
        EXPECT_EQ(last, c.due ? c.now : c.last) << c.last << " -> " << c.now;
    }
}

// Reports 100 ms apart: the text changes at every sixth, also when the tick
// count wraps in the middle of the run.
TEST(PanelThrottle, ReportsHundredMillisecondsApartShowEverySixth) {
    for (const std::uint32_t start : {10000u, 0xFFFFFC00u}) {
        std::uint32_t last_text_tick = start - 10000;
        std::vector<int> shown;
        for (int i = 0; i < 20; ++i) {
            if (panel::text_due(start + 100u * static_cast<std::uint32_t>(i), last_text_tick)) shown.push_back(i);
        }
        EXPECT_EQ(shown, (std::vector<int>{0, 6, 12, 18})) << "start " << start;
    }
}

struct BarCase {
    std::uint32_t done, total;
    std::optional<int> position;
};

TEST(PanelBar, PositionScaledToTheRangeAndTruncated) {
    const BarCase cases[] = {
        {1, 30001, 0},
        {15000, 30000, 15000},
        {500, 1000, 15000},
        {999, 1000, 29970},
        {0, 1000, 0},
        {1000, 1000, 30000},
        {4294967168u, 4294967168u, 30000},
        {2147483647u, 4294967295u, 14999},  // 14999.9999965: truncated, not rounded
        {2000, 1000, 30000},                // beyond the total the bar is full
        {0xFFFFFFFFu, 1, 30000},
        {0, 0, std::nullopt},               // no total: the bar does not move
        {500, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(panel::bar_position(c.done, c.total), c.position) << c.done << " of " << c.total;
    }
}

// Without an installer window the panel is its flags: the scope clears them,
// and reports go to the test hook only.
TEST(PanelHeadless, ScopeClearsFlagsAndReportsReachTheHook) {
    std::vector<std::pair<std::string, std::uint32_t>> reports;
    panel::progress_hook() = [&](const std::string& text, std::uint32_t done) { reports.emplace_back(text, done); };
    int window = 0;
    for (void* parent : {static_cast<void*>(nullptr), static_cast<void*>(&window)}) {
        panel::paused = true;
        panel::abort_requested = true;
        panel::PanelScope scope(parent);
        EXPECT_FALSE(panel::paused);
        EXPECT_FALSE(panel::abort_requested);
        panel::progress_update("Processing tab_acc (1) @ 0 secondi al termine", 130);
    }
    panel::progress_hook() = nullptr;
    const std::pair<std::string, std::uint32_t> report{"Processing tab_acc (1) @ 0 secondi al termine", 130};
    EXPECT_EQ(reports, (std::vector{report, report}));
}

}  // namespace
