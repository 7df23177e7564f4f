// The login check.
#include <string>

#include "db/login.h"
#include "plugin/exports.h"

TN_EXPORT(exec_login) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    nsis::guarded([] {
        const std::string user_name = nsis::stack_pop();
        nsis::stack_push(tn::login_prompt(user_name));
    }, "");
}
