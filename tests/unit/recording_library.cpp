#include "recording_library.h"

namespace testing_support {

RecordingLibrary* RecordingLibrary::current = nullptr;

namespace {

RecordingLibrary& lib() { return *RecordingLibrary::current; }

std::string& keep(std::string text) {
    static std::string held;
    held = std::move(text);
    return held;
}

extern "C" {
DataConnection TN_STDCALL rec_create() {
    lib().calls.push_back("create");
    return lib().handle;
}
std::int32_t TN_STDCALL rec_destroy(DataConnection) {
    lib().calls.push_back("destroy");
    return 0;
}
std::int32_t TN_STDCALL rec_exec(DataConnection, const char* statement) {
    lib().calls.push_back(std::string("exec: ") + statement);
    if (lib().on_exec) lib().on_exec(statement);
    return 0;
}
const char* TN_STDCALL rec_into(DataConnection, const char* statement, std::int32_t* status) {
    (void)status;
    lib().calls.push_back(std::string("into: ") + statement);
    std::string answer;
    if (lib().answer) answer = lib().answer(statement);
    if (answer.empty()) {
        auto it = lib().answers.find(statement);
        if (it != lib().answers.end()) answer = it->second;
    }
    return keep(std::move(answer)).c_str();
}
const char* TN_STDCALL rec_last_error(DataConnection) {
    lib().calls.push_back("last_error");
    std::string error;
    if (!lib().errors.empty()) {
        error = std::move(lib().errors.front());
        lib().errors.pop_front();
    }
    static std::string held;
    held = std::move(error);
    return held.c_str();
}
const char* TN_STDCALL rec_guid() {
    lib().calls.push_back("GetGUid");
    return lib().guid.c_str();
}
std::int32_t TN_STDCALL rec_wait(const char* name, std::int32_t ms) {
    lib().calls.push_back("AspettaEvento: " + std::string(name) + " " + std::to_string(ms));
    return 0;
}
}

// Proof that the recording functions have the library's exact types.
static_assert(std::is_same_v<decltype(&rec_create), API_create_default_data_connection_fn>);
static_assert(std::is_same_v<decltype(&rec_destroy), API_DCN_destroy_fn>);
static_assert(std::is_same_v<decltype(&rec_exec), API_IU_sql_exec_fn>);
static_assert(std::is_same_v<decltype(&rec_into), API_IU_sql_into_fn>);
static_assert(std::is_same_v<decltype(&rec_last_error), API_DCN_get_last_error_fn>);
static_assert(std::is_same_v<decltype(&rec_guid), GetGUid_fn>);
static_assert(std::is_same_v<decltype(&rec_wait), AspettaEvento_fn>);

}  // namespace

RecordingLibrary::RecordingLibrary() {
    toolkit::headless::reset();
    current = this;
    install();
}

RecordingLibrary::~RecordingLibrary() {
    toolkit::headless::reset();
    current = nullptr;
}

void RecordingLibrary::install() {
    using toolkit::headless::FunctionTable;
    auto table = [this](FunctionTable all) {
        for (const auto& name : missing_functions) all.erase(name);
        return all;
    };
    toolkit::headless::register_library(
        "vorovuro.dll", vorovuro_missing ? std::nullopt
                                         : std::optional(table({
                                               {"API_create_default_data_connection", (void*)&rec_create},
                                               {"API_DCN_destroy", (void*)&rec_destroy},
                                               {"API_IU_sql_exec", (void*)&rec_exec},
                                               {"API_IU_sql_into", (void*)&rec_into},
                                               {"API_DCN_get_last_error", (void*)&rec_last_error},
                                           })));
    toolkit::headless::register_library(
        "velt32w0.dll", velt_missing ? std::nullopt
                                     : std::optional(table({
                                           {"GetGUid", (void*)&rec_guid},
                                           {"AspettaEvento", (void*)&rec_wait},
                                       })));
}

std::vector<std::string> RecordingLibrary::statements() const {
    std::vector<std::string> out;
    for (const auto& call : calls) {
        if (call.rfind("exec: ", 0) == 0) out.push_back(call.substr(6));
        if (call.rfind("into: ", 0) == 0) out.push_back(call.substr(6));
    }
    return out;
}

}  // namespace testing_support
