// The login check: the person running the update must be a user of the
// practice.
#pragma once

#include <string>

namespace tn {

// Asks until the name and password match a row of `users`, or the person
// cancels.  Gives that row's `userid`, or the empty text.
std::string login_prompt(const std::string& user_name);

}  // namespace tn
