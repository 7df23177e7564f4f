// Native tests only: sees every progress report, and may act as the person
// pressing the panel's buttons by setting the flags from inside it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace panel {

std::function<void(const std::string&, std::uint32_t)>& progress_hook();

}  // namespace panel
