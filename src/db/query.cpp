#include "db/query.h"

#include <exception>

#include "db/binding.h"
#include "db/script.h"
#include "toolkit/toolkit.h"

namespace tn {

void run_query_into(const std::string& query, std::string& result) {
    result.clear();
    StrArray statements;
    string2array(query, ";", statements);
    if (statements.empty()) return;

    DataSession session(need_exec | need_into, true, "Creazione default Data connection non riuscita");
    if (!session) return;
    Connection& connection = session.connection();
    std::string last_value;
    try {
        for (const auto& statement : statements) last_value = connection.into(statement);
        connection.exec("commit");
    } catch (const std::exception& failure) {
        toolkit::show_message(failure.what());
        return;
    } catch (...) {
        // A failure without a text of its own: the empty result says enough.
        return;
    }
    result = std::move(last_value);
}

}  // namespace tn
