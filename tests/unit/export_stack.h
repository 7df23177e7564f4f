// Calls an export the way the installer does: parameters on an 8-bit string
// stack, results read back from it.
#pragma once

#include <string>
#include <vector>

#include "plugin/exports.h"
#include "plugin/nsis.h"
#include "toolkit/toolkit.h"

TN_EXPORT(exec_get_data_upd);
TN_EXPORT(exec_sql_into);
TN_EXPORT(exec_sql_file_into);

namespace testing_support {

using Export = void (*)(void*, int, void*, void*);

class ExportStack {
public:
    ~ExportStack() {
        while (top_) {
            auto* next = top_->next;
            toolkit::global_free(top_);
            top_ = next;
        }
    }

    // Calls `run` with `parameters` on the stack, the first one on top, and
    // returns the whole stack afterwards, top first.
    std::vector<std::string> call(Export run, const std::vector<std::string>& parameters) {
        for (auto it = parameters.rbegin(); it != parameters.rend(); ++it) {
            nsis::plugin_enter(nullptr, 1024, nullptr, &top_);
            nsis::stack_push_text(*it);
        }
        run(nullptr, 1024, nullptr, &top_);
        std::vector<std::string> texts;
        for (auto* entry = top_; entry; entry = entry->next) texts.emplace_back(entry->text);
        return texts;
    }

private:
    nsis::BasicStackEntry<char>* top_ = nullptr;
};

}  // namespace testing_support
