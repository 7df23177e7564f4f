// The installer's side of every export: the four host arguments and the
// installer's string stack.
//
// The stack's texts are 8-bit in the x86-ansi flavor and UTF-16 in the
// unicode flavors (TN_UNICODE).  Only this unit knows that width: the rest of
// the plug-in works on 8-bit texts in the ANSI code page, and the unicode
// frame converts at the stack.
#pragma once

#include <cstring>
#include <string>

#include "toolkit/toolkit.h"

namespace nsis {

// One entry of the installer's string stack: a link to the entry below, then
// the NUL-terminated text.  Every entry is one global-memory block.
template <class Ch>
struct BasicStackEntry {
    BasicStackEntry* next;
    Ch text[1];  // string size characters in the block
};

#ifdef TN_UNICODE
using StackChar = char16_t;
#else
using StackChar = char;
#endif
using StackEntry = BasicStackEntry<StackChar>;

// The host arguments of the export that runs (or ran last).
struct HostContext {
    void* parent_window = nullptr;
    int string_size = 0;        // characters of one entry's text, its NUL included
    void* variables = nullptr;  // recorded, used by no operation
    void* stack_top = nullptr;  // address of the installer's top-of-stack variable
};

extern HostContext host;

void plugin_enter(void* parent_window, int string_size, void* variables, void* stack_top);

// Pops the top entry into `text`, which keeps its value when the stack is
// empty or missing.  Returns whether an entry was popped.
template <class Ch>
bool stack_pop_text(std::basic_string<Ch>& text) {
    auto** top = static_cast<BasicStackEntry<Ch>**>(host.stack_top);
    if (!top || !*top) return false;
    BasicStackEntry<Ch>* entry = *top;
    text.assign(entry->text);
    *top = entry->next;
    toolkit::global_free(entry);
    return true;
}

// Pushes `text`, cut to string size - 1 characters.  Nothing is pushed when
// there is no stack or no memory for the entry.
template <class Ch>
void stack_push_text(const std::basic_string<Ch>& text) {
    auto** top = static_cast<BasicStackEntry<Ch>**>(host.stack_top);
    if (!top || host.string_size <= 0) return;
    const auto size = static_cast<std::size_t>(host.string_size);
    auto* entry = static_cast<BasicStackEntry<Ch>*>(
        toolkit::global_alloc(sizeof(BasicStackEntry<Ch>) + size * sizeof(Ch)));
    if (!entry) return;
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(entry->text, text.data(), n * sizeof(Ch));
    entry->text[n] = Ch(0);
    entry->next = *top;
    *top = entry;
}

// The 8-bit texts that the work functions take and give.  In the unicode
// flavors they are converted from and to UTF-16 through the ANSI code page.
std::string stack_pop();
void stack_push(const std::string& text);

// MessageBoxA owned by the installer window of the running export.
void host_message_box(const std::string& text, const std::string& caption, unsigned type);

}  // namespace nsis
