#include "update/synonyms.h"

#include <exception>
#include <string>
#include <string_view>

#include "plugin/nsis.h"
#include "plugin/panel.h"
#include "update/data_line.h"
#include "update/load_common.h"
#include "update/progress.h"

namespace tn {

namespace {

constexpr unsigned mb_ok = 0;

// The set code goes into quoted literals; an apostrophe in it is doubled so
// that it stays part of the code.  A code without one is used as it stands.
std::string code_literal_text(const std::string& set_code) {
    std::string out;
    out.reserve(set_code.size());
    for (char c : set_code) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

// The statements of one load, built once the column list is known.
class SynonymStatements {
public:
    SynonymStatements(const std::string& set_code, StrArray columns)
        : code_(code_literal_text(set_code)), columns_(std::move(columns)) {
        insert_head_ = "INSERT INTO tab_acc( ";
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (k) insert_head_ += ",";
            insert_head_ += columns_[k];
        }
        insert_head_ += ")";
    }

    std::size_t column_count() const { return columns_.size(); }

    // A copy of the catalogue row f[1] under its own row id, with the
    // synonym's description.
    std::string copied_row(const StrArray& f) const {
        std::string s = insert_head_;
        s += " SELECT ";
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (k) s += ",";
            const std::string& name = columns_[k];
            if (name == "rowid")
                s += "'TN" + code_ + "' || " + f[0] + "|| '_' || rowid";
            else if (name == "acc_descr")
                s += f[2];
            else if (name == "acc_status")
                s += "'O'";
            else if (name == "acc_short")
                s += "'(*)'";
            else
                s += name;
        }
        s += " FROM tab_acc WHERE rowid = " + f[1];
        return s;
    }

    // A row given whole by the line (f[4] onward); the three blanks in front of
    // its description let the next load's clean-up find it.
    std::string complete_row(const StrArray& f) const {
        std::string s = insert_head_;
        s += " VALUES( ";
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (k) s += ",";
            const std::string& name = columns_[k];
            if (name == "acc_status")
                s += "'O'";
            else if (name == "acc_descr" || name == "acc_orig")
                s += "'   ' || " + f[2];
            else if (name == "acc_short")
                s += "'(*)'";
            else
                s += f[k + 4];
        }
        s += ")";
        return s;
    }

private:
    std::string code_;
    StrArray columns_;
    std::string insert_head_;
};

StrArray read_columns(Connection& connection) {
    const int n = catalogue_integer(connection.into("SELECT COUNT(*) FROM syscolumns where tname = 'tab_acc'"));
    StrArray columns;
    for (int k = 1; k <= n; ++k)
        columns.push_back(connection.into("select cname from syscolumns where tname = 'tab_acc' and colno=" +
                                          std::to_string(k)));
    return columns;
}

}  // namespace

std::string load_synonym_data(const std::string& set_code, const std::string& data_file) {
    if (data_file.empty()) return "error";

    DataFile file;
    std::string failure;
    switch (open_data_file(data_file, file, failure)) {
        case DataFileState::failed: return "error";
        case DataFileState::too_short: return "success";
        case DataFileState::ready: break;
    }

    LoaderLibraries libraries("Creazione default data connection Non riuscita");
    if (!libraries) return "error";
    Connection& connection = libraries.connection();

    std::string result;
    try {
        panel::progress_update("Inizializzazione per tab_acc", 0);

        const std::string code = code_literal_text(set_code);
        connection.exec("DELETE FROM tab_acc WHERE rowid like 'TN" + code + "%'");
        connection.exec("commit");
        connection.exec(
            "DELETE FROM tab_acc WHERE length(rowid)=4 AND acc_prn <> 'N' AND length(acc_orig) > 3 AND "
            "left(acc_orig,3)='   '");
        connection.exec("commit");

        StrArray columns;
        if (!panel::abort_requested) columns = read_columns(connection);
        if (!panel::abort_requested) panel::progress_update("Processing tab_acc", 0);
        const SynonymStatements statements(set_code, std::move(columns));
        const std::size_t n = statements.column_count();

        start_load_clock();
        LineCounters counters;
        result = panel::abort_requested ? "abort" : "success";
        bool error_shown = false;

        StrArray f;
        std::string_view line;
        while (!panel::abort_requested && read_counted_line(file, counters, line)) {
            if (line.empty()) continue;
            ++counters.lines_read;
            riga2array(line, f);
            const std::size_t m = f.size();

            if (m >= 4) {
                std::string insert;
                const std::string exists = "select '1' FROM tab_acc WHERE rowid=" + f[1];
                if (connection.into(exists) == "1") {
                    if (connection.into(exists + " AND acc_descr <> " + f[2]) == "1")
                        insert = statements.copied_row(f);
                } else if (m == n + 4) {
                    insert = statements.complete_row(f);
                }
                if (!insert.empty()) {
                    connection.exec(insert);
                    const std::string error = connection.last_error();
                    if (!error.empty() && !error_shown) {
                        error_shown = true;
                        nsis::host_message_box(error + "\r\n\r\n" + insert, "Errore SQL", mb_ok);
                    }
                }
            }

            if (counters.lines_read % 100 == 0) connection.exec("commit");
            line_progress("tab_acc", counters, libraries);
        }

        connection.exec("commit");
        result = panel::abort_requested ? "abort" : "success";
    } catch (const std::exception& failure) {
        toolkit::show_message(failure.what());
        result = "error";
    }
    return result;
}

}  // namespace tn
