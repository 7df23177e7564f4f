// Scripts and single-value queries.
#include <string>

#include "db/query.h"
#include "db/script.h"
#include "plugin/exports.h"

using nsis::guarded;
using nsis::stack_pop;
using nsis::stack_push;

TN_EXPORT(exec_sql_string) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    guarded([] {
        const std::string text = stack_pop();
        stack_push(std::to_string(tn::run_statements(text, ";")));
    }, "-1");
}

TN_EXPORT(exec_sql_file) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    guarded([] {
        const std::string path = stack_pop();
        stack_push(std::to_string(tn::run_script_file(path, ";")));
    }, "-1");
}

TN_EXPORT(exec_sql_file_ter) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    guarded([] {
        const std::string path = stack_pop();
        const std::string separator = stack_pop();
        stack_push(std::to_string(tn::run_script_file(path, separator)));
    }, "-1");
}

TN_EXPORT(exec_sql_into) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    guarded([] {
        const std::string query = stack_pop();
        std::string value;
        tn::run_query_into(query, value);
        stack_push(value);
    }, "");
}

TN_EXPORT(exec_sql_file_into) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    guarded([] {
        const std::string path = stack_pop();
        std::string value;
        tn::run_query_into(tn::read_script_file(path), value);
        stack_push(value);
    }, "");
}
