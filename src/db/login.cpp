#include "db/login.h"

#include <memory>

#include "db/binding.h"
#include "toolkit/toolkit.h"

namespace tn {

namespace {

// A typed value goes into a quoted SQL literal: an apostrophe is doubled so
// that it stays part of the value instead of ending the literal.  Values
// without one pass unchanged.
std::string quoted_value(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

std::string login_query(const std::string& user_name, const std::string& password) {
    return "SELECT userid from users WHERE nomepass = '" + quoted_value(user_name) + "' AND parola='" +
           quoted_value(password) + "'";
}

}  // namespace

std::string login_prompt(const std::string& offered_name) {
    std::string user_name = offered_name;
    std::string password;
    // Loaded at the first attempt that gets this far and kept until the end of
    // the call, so that a wrong password does not reload the library.
    std::unique_ptr<Library> library;
    VorovuroApi api;
    bool resolved = false;

    for (;;) {
        if (!toolkit::login_dialog("Tarvenix", user_name, password)) return "";

        if (!library) {
            auto loaded = std::make_unique<Library>("vorovuro.dll");
            if (!*loaded) {
                toolkit::show_error("Impossibile caricare la libreria vorovuro.dll(3)");
                continue;
            }
            library = std::move(loaded);
        }
        if (!resolved) resolved = resolve_vorovuro(*library, need_into, api);
        if (!resolved) {
            toolkit::show_error("Impossibile creare default data connection");
            continue;
        }

        Connection connection(api);
        if (!connection) {
            toolkit::show_error("Creazione default data connection Non riuscita");
            continue;
        }
        std::string answer = connection.into(login_query(user_name, password));
        if (!answer.empty()) return answer;
        // No such pair: the connection goes with this attempt, the dialog opens
        // again with the name as typed and an empty password.
        password.clear();
    }
}

}  // namespace tn
