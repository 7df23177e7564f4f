#include "plugin/nsis.h"

namespace nsis {

HostContext host;

void plugin_enter(void* parent_window, int string_size, void* variables, void* stack_top) {
    host = HostContext{parent_window, string_size, variables, stack_top};
}

std::string stack_pop() {
    std::basic_string<StackChar> text;
    stack_pop_text(text);
#ifdef TN_UNICODE
    return toolkit::utf16_to_ansi(text.c_str());
#else
    return text;
#endif
}

void stack_push(const std::string& text) {
#ifdef TN_UNICODE
    stack_push_text(toolkit::ansi_to_utf16(text));
#else
    stack_push_text(text);
#endif
}

void host_message_box(const std::string& text, const std::string& caption, unsigned type) {
    toolkit::message_box(host.parent_window, text, caption, type);
}

}  // namespace nsis
