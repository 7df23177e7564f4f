// What the loaders feed into the panel: the byte total, the status lines with
// the time left, and the pause wait that keeps paused time out of the
// estimate.
#pragma once

#include <cstdint>
#include <string>

#include "db/api.h"

namespace tn {

// The largest multiple of 128 not above the file's size.
std::uint32_t progress_total_for(std::uint64_t file_size);

// "12 min 34 sec al termine" and its kin, from seconds remaining.
std::string time_left_text(std::int64_t remaining);

// Starts the estimate's clock just before the first data line.
void start_load_clock();

// After every non-empty line: clamps `bytes_read` to progress_total, shows
// "Processing <table> (<lines>) @ <time left>", and waits while the load is
// paused, letting the window's messages run and calling `wait`.
void update_load_progress(const std::string& table, std::uint32_t& bytes_read, std::int32_t lines_read,
                          AspettaEvento_fn wait);

}  // namespace tn
