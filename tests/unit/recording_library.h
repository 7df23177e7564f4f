// An in-process vorovuro.dll and velt32w0.dll for the native tests: records
// every call in order and answers queries from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "db/api.h"
#include "toolkit/headless/headless.h"

namespace testing_support {

class RecordingLibrary {
public:
    // Registers both libraries with the headless desktop (and resets it).
    RecordingLibrary();
    ~RecordingLibrary();

    // Every call, in order: "create", "destroy", "exec: <text>",
    // "into: <text>", "last_error", "GetGUid", "AspettaEvento: <name> <ms>".
    std::vector<std::string> calls;

    // The statements alone (exec and into texts), in order.
    std::vector<std::string> statements() const;

    // Query answers: first `answer` (when set), then exact texts in
    // `answers`; anything else answers the empty text.
    std::function<std::string(const std::string&)> answer;
    std::map<std::string, std::string> answers;

    // What API_DCN_get_last_error answers, in turn; empty when exhausted.
    std::deque<std::string> errors;
    // Called on every exec with its text (a test may set flags from here).
    std::function<void(const std::string&)> on_exec;

    DataConnection handle = 7;  // what create answers; 0 makes it fail
    std::string guid = "GUID-1";
    std::set<std::string> missing_functions;  // left out of the libraries
    bool vorovuro_missing = false;
    bool velt_missing = false;

    // Applies the settings above to the registered libraries.
    void install();

    static RecordingLibrary* current;
};

}  // namespace testing_support
