// Single-value queries: every piece through the query call, the last value
// kept, the empty text for any failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/query.h"
#include "export_stack.h"
#include "recording_library.h"
#include "temp_file.h"
#include "toolkit/headless/headless.h"

namespace {

using testing_support::RecordingLibrary;
using toolkit::headless::Dialog;
using toolkit::headless::DialogKind;
using Calls = std::vector<std::string>;

struct QueryCase {
    const char* name;
    std::string query;
    std::map<std::string, std::string> answers;
    Calls calls;
    std::string result;
};

TEST(RunQueryInto, KeepsTheValueOfTheLastPiece) {
    const QueryCase cases[] = {
        {"one query", "SELECT nome FROM users", {{"SELECT nome FROM users", "Rossi"}},
         {"create", "into: SELECT nome FROM users", "exec: commit", "destroy"}, "Rossi"},
        {"a change, then the query that reads it",
         "UPDATE t SET x=1; SELECT x FROM t",
         {{"UPDATE t SET x=1", "ignored"}, {" SELECT x FROM t", "1"}},
         {"create", "into: UPDATE t SET x=1", "into:  SELECT x FROM t", "exec: commit", "destroy"},
         "1"},
        {"a NULL value or no row", "SELECT NULL", {}, {"create", "into: SELECT NULL", "exec: commit", "destroy"}, ""},
        {"a closing separator runs an empty piece last",
         "SELECT 1;",
         {{"SELECT 1", "1"}, {"", "from the empty piece"}},
         {"create", "into: SELECT 1", "into: ", "exec: commit", "destroy"},
         "from the empty piece"},
        {"a separator inside a literal splits there too",
         "SELECT 'a;b'",
         {{"b'", "tail"}},
         {"create", "into: SELECT 'a", "into: b'", "exec: commit", "destroy"},
         "tail"},
        {"only the separator", ";", {}, {"create", "into: ", "into: ", "exec: commit", "destroy"}, ""},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        lib.answers = c.answers;
        int busy_while_querying = -1;
        lib.answer = [&](const std::string&) {
            busy_while_querying = toolkit::headless::busy_depth();
            return std::string();
        };
        std::string result = "stale";
        tn::run_query_into(c.query, result);
        EXPECT_EQ(lib.calls, c.calls) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(busy_while_querying, 1) << c.name;
        EXPECT_EQ(toolkit::headless::busy_depth(), 0) << c.name;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.name;
        EXPECT_TRUE(toolkit::headless::dialogs().empty()) << c.name;
    }
}

TEST(RunQueryInto, EmptyQueryLoadsNothing) {
    RecordingLibrary lib;
    std::string result = "stale";
    tn::run_query_into("", result);
    EXPECT_EQ(result, "");
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(toolkit::headless::library_log().empty());
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
    EXPECT_EQ(toolkit::headless::busy_count(), 0);
}

struct FailureCase {
    const char* name;
    std::function<void(RecordingLibrary&)> arrange;
    Calls calls;
    std::vector<Dialog> dialogs;
    int busy_count;
};

TEST(RunQueryInto, FailuresGiveTheEmptyTextAndReleaseEverything) {
    const FailureCase cases[] = {
        {"vorovuro.dll missing", [](RecordingLibrary& l) { l.vorovuro_missing = true; }, {},
         {{DialogKind::error, "Impossibile caricare la libreria vorovuro.dll (1)", "", nullptr, 0}}, 0},
        {"the query function missing", [](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_into"}; }, {},
         {{DialogKind::error, "Impossibile creare default data connection", "", nullptr, 0}}, 0},
        {"the statement function missing", [](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_exec"}; },
         {}, {{DialogKind::error, "Impossibile creare default data connection", "", nullptr, 0}}, 0},
        {"no connection", [](RecordingLibrary& l) { l.handle = 0; }, {"create"},
         {{DialogKind::error, "Creazione default Data connection non riuscita", "", nullptr, 0}}, 1},
        {"a failing statement stops the rest and the commit",
         [](RecordingLibrary& l) {
             l.answer = [](const std::string& q) -> std::string {
                 if (q == "b") throw std::runtime_error("Violazione di accesso");
                 return "value of " + q;
             };
         },
         {"create", "into: a", "into: b", "destroy"},
         {{DialogKind::message, "Violazione di accesso", "", nullptr, 0}}, 1},
        {"a failing commit",
         [](RecordingLibrary& l) {
             l.on_exec = [](const std::string&) { throw std::runtime_error("commit rifiutato"); };
         },
         {"create", "into: a", "into: b", "into: c", "exec: commit", "destroy"},
         {{DialogKind::message, "commit rifiutato", "", nullptr, 0}}, 1},
        {"a failure without a text",
         [](RecordingLibrary& l) {
             l.answer = [](const std::string&) -> std::string { throw 42; };
         },
         {"create", "into: a", "destroy"}, {}, 1},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        c.arrange(lib);
        lib.install();
        std::string result = "stale";
        tn::run_query_into("a;b;c", result);
        EXPECT_EQ(result, "") << c.name;
        EXPECT_EQ(lib.calls, c.calls) << c.name;
        EXPECT_EQ(toolkit::headless::dialogs(), c.dialogs) << c.name;
        EXPECT_EQ(toolkit::headless::busy_count(), c.busy_count) << c.name;
        EXPECT_EQ(toolkit::headless::busy_depth(), 0) << c.name;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.name;
    }
}

TEST(ExecSqlInto, PushesTheValue) {
    RecordingLibrary lib;
    lib.answers = {{"SELECT 42", "42"}};
    testing_support::ExportStack stack;
    EXPECT_EQ(stack.call(exec_sql_into, {"SELECT 42", "below"}), (std::vector<std::string>{"42", "below"}));
    EXPECT_EQ(stack.call(exec_sql_into, {""}), (std::vector<std::string>{"", "42", "below"}));
}

class ExecSqlFileInto : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }
    std::string path = testing_support::temp_path("exec_sql_file_into.sql");
};

TEST_F(ExecSqlFileInto, RunsTheFilesPiecesAndPushesTheLastValue) {
    std::ofstream(path, std::ios::binary) << "UPDATE t SET x='\xe9';\r\nSELECT x FROM t";
    RecordingLibrary lib;
    lib.answers = {{"\r\nSELECT x FROM t", "\xe9"}};
    testing_support::ExportStack stack;
    EXPECT_EQ(stack.call(exec_sql_file_into, {path}), (std::vector<std::string>{"\xe9"}));
    EXPECT_EQ(lib.statements(), (std::vector<std::string>{"UPDATE t SET x='\xe9'", "\r\nSELECT x FROM t", "commit"}));
}

TEST_F(ExecSqlFileInto, MissingFilePushesTheEmptyTextSilently) {
    RecordingLibrary lib;
    testing_support::ExportStack stack;
    EXPECT_EQ(stack.call(exec_sql_file_into, {path + ".missing"}), (std::vector<std::string>{""}));
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(toolkit::headless::library_log().empty());
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
}

}  // namespace
