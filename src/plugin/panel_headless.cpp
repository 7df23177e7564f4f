// The native build has no installer window: no panel is ever built, the flags
// are all that exists, and progress reports go to the test hook only.
#include "plugin/panel.h"
#include "plugin/panel_headless.h"

namespace panel {

std::function<void(const std::string&, std::uint32_t)>& progress_hook() {
    static std::function<void(const std::string&, std::uint32_t)> hook;
    return hook;
}

void progress_update(const std::string& text, std::uint32_t done) {
    if (auto& hook = progress_hook()) hook(text, done);
}

PanelScope::PanelScope(void* parent_window) : parent_window_(parent_window) {
    paused = false;
    abort_requested = false;
}

PanelScope::~PanelScope() = default;

}  // namespace panel
