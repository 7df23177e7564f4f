// The update registry and the two loaders.
#include <string>

#include "plugin/exports.h"
#include "plugin/panel.h"
#include "update/loader.h"
#include "update/registry.h"
#include "update/synonyms.h"

using nsis::guarded;
using nsis::stack_pop;
using nsis::stack_push;

TN_EXPORT(exec_get_data_upd) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    guarded([] {
        const std::string table = stack_pop();
        const std::string filter = stack_pop();
        std::string chiave2, state;
        tn::read_update_state(table, filter, chiave2, state);
        stack_push(chiave2);
        stack_push(state);
    }, "");
}

namespace {

// A loader export pops its parameters, then runs the work with the panel
// installed; any failure that escapes, the panel already gone, gives "error".
template <class Load>
void run_loader(Load&& pop_and_load) {
    std::string result;
    try {
        result = pop_and_load();
    } catch (...) {
        result = "error";
    }
    guarded([&] { stack_push(result); }, "error");
}

template <class Work>
std::string with_panel(Work&& work) {
    panel::PanelScope scope(nsis::host.parent_window);
    return work();
}

bool flag(const std::string& text) { return text == "1"; }

}  // namespace

TN_EXPORT(exec_load_table) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    run_loader([] {
        const std::string table = stack_pop();
        const std::string data_file = stack_pop();
        const bool force = flag(stack_pop());
        return with_panel([&] { return tn::load_table_data(table, data_file, "", force); });
    });
}

TN_EXPORT(exec_load_table_where) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    run_loader([] {
        const std::string table = stack_pop();
        const std::string data_file = stack_pop();
        const std::string filter = stack_pop();
        const bool force = flag(stack_pop());
        return with_panel([&] { return tn::load_table_data(table, data_file, filter, force); });
    });
}

TN_EXPORT(exec_load_sinonimi) {
    nsis::plugin_enter(parent_window, string_size, variables, stack_top);
    run_loader([] {
        const std::string set_code = stack_pop();
        const std::string data_file = stack_pop();
        stack_pop();  // a flag that the synonym load does not use
        return with_panel([&] { return tn::load_synonym_data(set_code, data_file); });
    });
}
