// Splitting scripts into statements.
#include <gtest/gtest.h>

#include "db/script.h"
#include "recording_library.h"
#include "toolkit/headless/headless.h"

#include <functional>
#include <stdexcept>

namespace {

using tn::StrArray;

TEST(String2Array, SplitsAsTheInstallerScriptsExpect) {
    struct Case {
        const char* text;
        const char* separator;
        StrArray pieces;
    };
    const Case cases[] = {
        {"", ";", {}},
        {"select 1", ";", {"select 1"}},
        {" a \r\n b ", ";", {" a \r\n b "}},
        {";", ";", {"", ""}},
        {"a;b;", ";", {"a", "b", ""}},
        {"a;;b", ";", {"a", "", "b"}},
        {"insert into t values('x;y')", ";", {"insert into t values('x", "y')"}},
        {"a;\r\nb;\r\n", ";", {"a", "\r\nb", "\r\n"}},
        {"a;b", "", {"a;b"}},
        {"a GO b GO ", " GO ", {"a", "b", ""}},
        {"aGOGOb", "GO", {"a", "", "b"}},
        {"x\x80\x9f\xe9;y", ";", {"x\x80\x9f\xe9", "y"}},
    };
    for (const auto& c : cases) {
        StrArray list{"stale"};
        tn::string2array(c.text, c.separator, list);
        EXPECT_EQ(list, c.pieces) << "text: " << c.text << " separator: " << c.separator;
    }
}

}  // namespace

namespace {

using testing_support::RecordingLibrary;
using toolkit::headless::Dialog;
using toolkit::headless::DialogKind;

TEST(RunStatements, RunsEveryPieceThenCommitsAndReleasesEverything) {
    RecordingLibrary lib;
    EXPECT_EQ(tn::run_statements("insert a;insert b;", ";"), 0);
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"create", "exec: insert a", "exec: insert b", "exec: ",
                                                   "exec: commit", "destroy"}));
    EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
    EXPECT_EQ(toolkit::headless::busy_count(), 0);  // scripts leave the cursor alone
}

TEST(RunStatements, EmptyTextFailsWithoutLoadingAnything) {
    RecordingLibrary lib;
    EXPECT_EQ(tn::run_statements("", ";"), -1);
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(toolkit::headless::library_log().empty());
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
}

TEST(RunStatements, LibraryFailuresShowTheirMessage) {
    struct Case {
        std::function<void(RecordingLibrary&)> arrange;
        std::string message;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {[](RecordingLibrary& l) { l.vorovuro_missing = true; }, "Impossibile caricare la libreria vorovuro.dll (1)", {}},
        {[](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_exec"}; },
         "Impossibile creare default data connection", {}},
        {[](RecordingLibrary& l) { l.missing_functions = {"API_DCN_destroy"}; },
         "Impossibile creare default data connection", {}},
        {[](RecordingLibrary& l) { l.handle = 0; }, "Creazione default data connection non riuscita", {"create"}},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        c.arrange(lib);
        lib.install();
        EXPECT_EQ(tn::run_statements("select 1", ";"), -1) << c.message;
        EXPECT_EQ(toolkit::headless::dialogs(), (std::vector<Dialog>{{DialogKind::error, c.message, "", nullptr, 0}}));
        EXPECT_EQ(lib.calls, c.calls) << c.message;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.message;
    }
}

TEST(RunStatements, FunctionsNotUsedMayBeMissing) {
    RecordingLibrary lib;
    lib.missing_functions = {"API_IU_sql_into", "API_DCN_get_last_error"};
    lib.install();
    EXPECT_EQ(tn::run_statements("select 1", ";"), 0);
}

TEST(RunStatements, FailureInsideTheRunShowsItsTextAndStillDestroys) {
    RecordingLibrary lib;
    lib.on_exec = [](const std::string& statement) {
        if (statement == "boom") throw std::runtime_error("library failed");
    };
    EXPECT_EQ(tn::run_statements("a;boom;c", ";"), -1);
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"create", "exec: a", "exec: boom", "destroy"}));
    EXPECT_EQ(toolkit::headless::dialogs(),
              (std::vector<Dialog>{{DialogKind::message, "library failed", "", nullptr, 0}}));
}

}  // namespace
