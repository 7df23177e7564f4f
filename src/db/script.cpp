#include "db/script.h"

#include <exception>
#include <new>

#include "db/binding.h"
#include "toolkit/toolkit.h"

namespace tn {

void string2array(const std::string& text, const std::string& separator, StrArray& list) {
    if (text.empty()) {
        list.clear();
        return;
    }
    try {
        StrArray pieces;
        std::size_t start = 0;
        if (!separator.empty()) {
            for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;
                 start = at + separator.size())
                pieces.emplace_back(text, start, at - start);
        }
        pieces.emplace_back(text, start);
        list = std::move(pieces);
    } catch (const std::bad_alloc&) {
        toolkit::show_message("tn_sql_exec.string2array(): eccezione");
    }
}

std::string read_script_file(const std::string& path) {
    std::string bytes;
    if (!toolkit::read_file_exclusive(path, bytes)) return {};
    if (auto zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
    return bytes;
}

int run_statements(const std::string& text, const std::string& separator) {
    StrArray statements;
    string2array(text, separator, statements);
    if (statements.empty()) return -1;

    DataSession session(need_exec, false, "Creazione default data connection non riuscita");
    if (!session) return -1;
    Connection& connection = session.connection();
    try {
        for (const auto& statement : statements) connection.exec(statement);
        connection.exec("commit");
    } catch (const std::exception& failure) {
        toolkit::show_message(failure.what());
        return -1;
    }
    return 0;
}

int run_script_file(const std::string& path, const std::string& separator) {
    return run_statements(read_script_file(path), separator);
}

}  // namespace tn
