// The login check: the retry loop, its queries and what it loads, with the
// person's answers scripted on the headless desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "db/login.h"
#include "plugin/exports.h"
#include "recording_library.h"
#include "toolkit/headless/headless.h"

TN_EXPORT(exec_login);

namespace {

using testing_support::RecordingLibrary;
using toolkit::headless::Dialog;
using toolkit::headless::DialogKind;
using toolkit::headless::LoginAnswer;
using Calls = std::vector<std::string>;

void answer_logins(std::vector<LoginAnswer> answers) {
    auto& queue = toolkit::headless::login_answers();
    queue.assign(answers.begin(), answers.end());
}

LoginAnswer typed(std::string name, std::string password) { return std::pair{std::move(name), std::move(password)}; }

const LoginAnswer cancel = std::nullopt;

Dialog login_offering(const std::string& name) { return {DialogKind::login, name, "", nullptr, 0}; }
Dialog error(const std::string& text) { return {DialogKind::error, text, "", nullptr, 0}; }

std::string query(const std::string& name, const std::string& password) {
    return "into: SELECT userid from users WHERE nomepass = '" + name + "' AND parola='" + password + "'";
}

TEST(LoginPrompt, CancelAtTheFirstDialogLoadsNothing) {
    RecordingLibrary lib;
    answer_logins({cancel});
    EXPECT_EQ(tn::login_prompt("mrossi"), "");
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(toolkit::headless::library_log().empty());
    EXPECT_EQ(toolkit::headless::dialogs(), std::vector<Dialog>{login_offering("mrossi")});
}

TEST(LoginPrompt, WrongPasswordThenRightOneUsesOneLibraryAndTwoConnections) {
    RecordingLibrary lib;
    lib.answers[query("mrossi", "right").substr(6)] = "17";
    answer_logins({typed("mrossi", "wrong"), typed("mrossi", "right")});

    EXPECT_EQ(tn::login_prompt("mrossi"), "17");
    EXPECT_EQ(lib.calls, (Calls{"create", query("mrossi", "wrong"), "destroy",  //
                                "create", query("mrossi", "right"), "destroy"}));
    EXPECT_EQ(toolkit::headless::library_log(), (Calls{"load vorovuro.dll", "free vorovuro.dll"}));
    EXPECT_EQ(toolkit::headless::dialogs(), (std::vector<Dialog>{login_offering("mrossi"), login_offering("mrossi")}));
}

TEST(LoginPrompt, TheTypedNameIsQueriedAndOfferedNext) {
    RecordingLibrary lib;
    answer_logins({typed("bianchi", "x"), cancel});
    EXPECT_EQ(tn::login_prompt(""), "");
    EXPECT_EQ(lib.calls, (Calls{"create", query("bianchi", "x"), "destroy"}));
    EXPECT_EQ(toolkit::headless::dialogs(), (std::vector<Dialog>{login_offering(""), login_offering("bianchi")}));
    EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
}

TEST(LoginPrompt, QueryTextCarriesTypedValues) {
    struct Case {
        std::string name, password, expected_query;
    };
    const Case cases[] = {
        {"mrossi", "segreta", query("mrossi", "segreta")},
        {"", "", query("", "")},
        {"Dott. Nicolò", "p w\t%_", query("Dott. Nicolò", "p w\t%_")},
        // An apostrophe stays inside its literal instead of ending it.
        {"d'amico", "pa'ss", query("d''amico", "pa''ss")},
        {"x' OR '1'='1", "' OR ''='", query("x'' OR ''1''=''1", "'' OR ''''=''")},
        {"''", "'", query("''''", "''")},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        lib.answer = [](const std::string&) { return std::string("1"); };
        answer_logins({typed(c.name, c.password)});
        EXPECT_EQ(tn::login_prompt(""), "1") << c.name;
        EXPECT_EQ(lib.calls, (Calls{"create", c.expected_query, "destroy"})) << c.name;
    }
}

TEST(LoginPrompt, FailuresShowTheirErrorAndAskAgain) {
    struct Case {
        const char* what;
        std::function<void(RecordingLibrary&)> arrange;
        std::string message;
        Calls calls_per_attempt;
    };
    const Case cases[] = {
        {"no library", [](RecordingLibrary& l) { l.vorovuro_missing = true; },
         "Impossibile caricare la libreria vorovuro.dll(3)", {}},
        {"no create", [](RecordingLibrary& l) { l.missing_functions = {"API_create_default_data_connection"}; },
         "Impossibile creare default data connection", {}},
        {"no destroy", [](RecordingLibrary& l) { l.missing_functions = {"API_DCN_destroy"}; },
         "Impossibile creare default data connection", {}},
        {"no into", [](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_into"}; },
         "Impossibile creare default data connection", {}},
        {"no connection", [](RecordingLibrary& l) { l.handle = 0; }, "Creazione default data connection Non riuscita",
         {"create"}},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        c.arrange(lib);
        lib.install();
        answer_logins({typed("mrossi", "a"), typed("mrossi", "b"), cancel});

        EXPECT_EQ(tn::login_prompt("mrossi"), "") << c.what;
        Calls both = c.calls_per_attempt;
        both.insert(both.end(), c.calls_per_attempt.begin(), c.calls_per_attempt.end());
        EXPECT_EQ(lib.calls, both) << c.what;
        EXPECT_EQ(toolkit::headless::dialogs(),
                  (std::vector<Dialog>{login_offering("mrossi"), error(c.message), login_offering("mrossi"),
                                       error(c.message), login_offering("mrossi")}))
            << c.what;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.what;
        const auto loads = std::count(toolkit::headless::library_log().begin(),
                                      toolkit::headless::library_log().end(), "load vorovuro.dll");
        EXPECT_EQ(loads, c.message == "Impossibile caricare la libreria vorovuro.dll(3)" ? 0 : 1) << c.what;
    }
}

TEST(ExecLogin, PopsTheOfferedNameAndPushesTheUserid) {
    struct Case {
        std::vector<std::string> stack;  // top first
        LoginAnswer answer;
        std::string offered;
        std::vector<std::string> after;  // top first
    };
    const Case cases[] = {
        {{"mrossi", "below"}, typed("mrossi", "pw"), "mrossi", {"42", "below"}},
        {{"mrossi"}, cancel, "mrossi", {""}},
        {{}, typed("bianchi", "pw"), "", {"42"}},  // nothing to offer: the name field starts empty
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        lib.answer = [](const std::string&) { return std::string("42"); };
        answer_logins({c.answer});

        nsis::StackEntry* top = nullptr;
        nsis::plugin_enter(nullptr, 64, nullptr, &top);
        for (auto it = c.stack.rbegin(); it != c.stack.rend(); ++it) nsis::stack_push(*it);
        exec_login(nullptr, 64, nullptr, &top);

        EXPECT_EQ(toolkit::headless::dialogs().at(0), login_offering(c.offered));
        std::vector<std::string> after;
        nsis::plugin_enter(nullptr, 64, nullptr, &top);
        while (top) after.push_back(nsis::stack_pop());
        EXPECT_EQ(after, c.after);
    }
}

}  // namespace
