// The login check against the practice's real users table, the person's
// answers scripted on the headless desktop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "practice_db.h"
#include "toolkit/headless/headless.h"

namespace {

using practice::call_export;
using practice::PracticeTest;
using toolkit::headless::LoginAnswer;

class LoginCheck : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        db.exec("INSERT INTO users (userid, nomepass, parola, nome) VALUES (17, 'mrossi', 'segreta', 'Mario'), "
                "(23, 'd''amico', 'pa''ss', 'Anna')");
        toolkit::headless::reset();
    }
};

TEST_F(LoginCheck, AnswersFindTheirUser) {
    struct Case {
        const char* what;
        std::vector<LoginAnswer> answers;
        std::string pushed;
    };
    const LoginAnswer cancel = std::nullopt;
    auto typed = [](const char* name, const char* password) -> LoginAnswer { return std::pair{name, password}; };
    const Case cases[] = {
        {"right at once", {typed("mrossi", "segreta")}, "17"},
        {"wrong, then right", {typed("mrossi", "sbagliata"), typed("mrossi", "segreta")}, "17"},
        {"apostrophes in both", {typed("d'amico", "pa'ss")}, "23"},
        {"a name that tries to end the literal", {typed("x' OR '1'='1", "' OR ''='"), cancel}, ""},
        {"another user's password", {typed("d'amico", "segreta"), cancel}, ""},
        {"cancel", {cancel}, ""},
    };
    for (const auto& c : cases) {
        toolkit::headless::reset();
        toolkit::headless::login_answers().assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(call_export(exec_login, {"mrossi"}), std::vector<std::string>{c.pushed}) << c.what;
        EXPECT_TRUE(toolkit::headless::login_answers().empty()) << c.what << ": asked fewer times than expected";
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.what;
    }
}

}  // namespace
