// Panel state common to every platform.
#include "plugin/panel.h"

namespace panel {

std::atomic<bool> paused{false};
std::atomic<bool> abort_requested{false};
std::atomic<std::uint32_t> progress_total{0};

}  // namespace panel
