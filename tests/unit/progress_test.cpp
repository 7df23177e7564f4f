// The load progress: byte total, time-left text, status lines, and the pause
// that the estimate does not count.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "plugin/panel.h"
#include "plugin/panel_headless.h"
#include "toolkit/headless/headless.h"
#include "toolkit/toolkit.h"
#include "update/progress.h"

namespace {

TEST(TimeLeftText, ShowsSecondsThenMinutesThenHours) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 secondi al termine"},
        {1, "1 secondi al termine"},
        {59, "59 secondi al termine"},
        {60, "1 min 00 sec al termine"},
        {754, "12 min 34 sec al termine"},
        {3599, "59 min 59 sec al termine"},
        {3600, "1 ore 00 min al termine"},
        {3659, "1 ore 00 min al termine"},
        {7384, "2 ore 03 min al termine"},
        {360000, "100 ore 00 min al termine"},
        {10000000000LL, "2777777 ore 46 min al termine"},
    };
    for (const auto& [remaining, text] : cases) EXPECT_EQ(tn::time_left_text(remaining), text) << remaining;
}

TEST(ProgressTotalFor, RoundsDownToWhole128ByteBlocks) {
    const std::pair<std::uint64_t, std::uint32_t> cases[] = {
        {0, 0},
        {127, 0},
        {128, 128},
        {255, 128},
        {1000, 896},
        {4294967295ULL, 4294967168u},
        // Beyond what the 32-bit counters reach: the largest total, not a wrapped one.
        {4294967296ULL + 500, 4294967168u},
        {1ULL << 40, 4294967168u},
    };
    for (const auto& [size, total] : cases) EXPECT_EQ(tn::progress_total_for(size), total) << size;
}

// Everything a load step does that the person or the libraries can see.
struct Observed {
    std::vector<std::pair<std::string, std::uint32_t>> reports;
    std::vector<std::string> events;  // "messages" and "wait <name> <ms>", in order
};
Observed* observed = nullptr;

std::int32_t TN_STDCALL recording_wait(const char* name, std::int32_t ms) {
    observed->events.push_back("wait " + std::string(name) + " " + std::to_string(ms));
    return 0;
}

class LoadProgress : public ::testing::Test {
protected:
    static constexpr std::int64_t start = 1'700'000'000'000;

    void SetUp() override {
        toolkit::headless::reset();
        observed = &seen;
        panel::paused = false;
        panel::abort_requested = false;
        panel::progress_hook() = [this](const std::string& text, std::uint32_t done) {
            seen.reports.emplace_back(text, done);
        };
        toolkit::headless::on_process_messages() = [this] {
            seen.events.push_back("messages");
            if (during_pause) during_pause();
        };
    }
    void TearDown() override {
        panel::progress_hook() = nullptr;
        panel::progress_total = 0;
        panel::paused = false;
        panel::abort_requested = false;
        toolkit::headless::reset();
        observed = nullptr;
    }
    void at(std::int64_t ms_from_start) { toolkit::headless::set_local_time_ms(start + ms_from_start); }
    std::int64_t now() const { return toolkit::local_time_ms(); }

    Observed seen;
    std::function<void()> during_pause;
};

TEST_F(LoadProgress, EstimatesTheTimeLeftFromTheShareRead) {
    struct Case {
        std::uint32_t total, bytes;
        std::int64_t elapsed_ms;
        std::int32_t lines;
        const char* table;
        const char* status;
        std::uint32_t position;
    };
    const Case cases[] = {
        {128000, 5, 999, 1, "tab_vac", "Processing tab_vac (1) @ 0 secondi al termine", 5},
        {1280, 640, 30'000, 10, "cprobl", "Processing cprobl (10) @ 30 secondi al termine", 640},
        {1280, 320, 300'000, 10, "cprobl", "Processing cprobl (10) @ 15 min 00 sec al termine", 320},
        {1280, 128, 1'000'000, 10, "cprobl", "Processing cprobl (10) @ 2 ore 30 min al termine", 128},
        {128000, 64000, 754'999, 120, "tab_acc", "Processing tab_acc (120) @ 12 min 34 sec al termine", 64000},
        // A clock set back during the load counts the distance all the same.
        {1280, 640, -30'000, 10, "cprobl", "Processing cprobl (10) @ 30 secondi al termine", 640},
        // Past the total (the tail beyond the last 128-byte block, or lines
        // ending in a bare line feed): held at the total, nothing left.
        {1280, 1400, 100'000, 7, "tab_atc", "Processing tab_atc (7) @ 0 secondi al termine", 1280},
        {1280, 1280, 100'000, 7, "tab_atc", "Processing tab_atc (7) @ 0 secondi al termine", 1280},
    };
    for (const auto& c : cases) {
        seen = {};
        panel::progress_total = c.total;
        at(0);
        tn::start_load_clock();
        at(c.elapsed_ms);
        std::uint32_t bytes = c.bytes;
        tn::update_load_progress(c.table, bytes, c.lines, recording_wait);
        EXPECT_EQ(seen.reports, (decltype(seen.reports){{c.status, c.position}})) << c.status;
        EXPECT_EQ(bytes, c.position) << "the loader's own counter goes on from the total";
        EXPECT_TRUE(seen.events.empty()) << "no wait without a pause";
    }
}

TEST_F(LoadProgress, PausedTimeDoesNotCount) {
    panel::progress_total = 1280;
    at(0);
    tn::start_load_clock();
    at(10'000);
    panel::paused = true;
    int rounds = 0;
    during_pause = [&] {
        // Five minutes go by in three rounds of the wait before the person
        // presses resume.
        toolkit::headless::set_local_time_ms(now() + 100'000);
        if (++rounds == 3) panel::paused = false;
    };
    std::uint32_t bytes = 320;
    tn::update_load_progress("tab_vac", bytes, 1, recording_wait);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"messages", "wait LoadTable 500", "messages",
                                                     "wait LoadTable 500", "messages", "wait LoadTable 500"}));
    // 10 s before the pause and 10 s after it: half of the file in 20 s.
    at(320'000);
    bytes = 640;
    tn::update_load_progress("tab_vac", bytes, 2, recording_wait);
    ASSERT_EQ(seen.reports.size(), 2u);
    EXPECT_EQ(seen.reports[0].first, "Processing tab_vac (1) @ 30 secondi al termine");
    EXPECT_EQ(seen.reports[1].first, "Processing tab_vac (2) @ 20 secondi al termine");
}

TEST_F(LoadProgress, AbandonDuringThePauseEndsTheWait) {
    panel::progress_total = 1280;
    at(0);
    tn::start_load_clock();
    panel::paused = true;
    during_pause = [] {
        panel::paused = false;
        panel::abort_requested = true;
    };
    std::uint32_t bytes = 200;
    tn::update_load_progress("tab_vac", bytes, 1, recording_wait);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"messages", "wait LoadTable 500"}));
    EXPECT_TRUE(panel::abort_requested);
    EXPECT_FALSE(panel::paused);
}

TEST_F(LoadProgress, NothingReadYetGivesNoEstimate) {
    // A total of 0 holds the counter at 0: there is no share to divide by.
    panel::progress_total = 0;
    at(0);
    tn::start_load_clock();
    at(50'000);
    std::uint32_t bytes = 12;
    tn::update_load_progress("tab_vac", bytes, 1, recording_wait);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(seen.reports, (decltype(seen.reports){{"Processing tab_vac (1) @ 0 secondi al termine", 0}}));
}

}  // namespace
