// The synonym loader: extra rows of the exam catalogue `tab_acc` that carry
// another description for an exam.
#pragma once

#include <string>

namespace tn {

// "success", "abort" or "error".
std::string load_synonym_data(const std::string& set_code, const std::string& data_file);

}  // namespace tn
