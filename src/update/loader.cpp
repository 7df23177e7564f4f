#include "update/loader.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string_view>

#include "db/binding.h"
#include "plugin/nsis.h"
#include "plugin/panel.h"
#include "toolkit/toolkit.h"
#include "update/data_line.h"
#include "update/load_common.h"
#include "update/progress.h"
#include "update/registry.h"
#include "update/special_tables.h"

namespace tn {

namespace {

// Lines whose statements travel in one batch, with one commit.
constexpr std::int32_t batch_lines = 100;

bool abandoned() { return panel::abort_requested; }

// One run of the loader over one data file, from the open connection to the
// closing stamp.  The caller owns the file, the libraries and the connection.
class TableLoad {
public:
    TableLoad(LoaderLibraries& libraries, DataFile& file, const std::string& table, const std::string& filter,
              bool force)
        : libraries_(libraries),
          connection_(libraries.connection()),
          file_(file),
          table_(table),
          data_table_(data_table_for(table)),
          filter_(filter),
          force_(force),
          update_id_(update_id_for_table(table)),
          rules_(data_table_, "") {
        // A batch of 100 lines of a wide table runs to some tens of kilobytes;
        // the string keeps its capacity from batch to batch.
        batch_.reserve(64 * 1024);
    }

    std::string run() {
        prepare();
        if (!abandoned()) mark_under_way();
        start_load_clock();
        counters_.lines_read = 0;
        std::string result = abandoned() ? "abort" : "success";
        batch_.clear();
        first_error_pending_ = true;

        std::string_view line;
        while (!abandoned() && read_counted_line(file_, counters_, line)) {
            if (line.empty()) continue;
            ++counters_.lines_read;
            riga2array(line, entries_);
            if (!entries_.empty() && entries_.size() == columns_.size()) load_line();
            if (counters_.lines_read % batch_lines == 0) execute_batch();
            line_progress(data_table_, counters_, libraries_);
        }
        execute_batch();
        if (abandoned()) return "abort";
        finish();
        return "success";
    }

private:
    void prepare() {
        const std::string& d = data_table_;
        panel::progress_update("Inizializzazione per " + d, 0);

        kind_ = database_kind(connection_);
        if (kind_ == "postgresql") {
            connection_.into("SELECT prepara_ambiente_tn()");
            connection_.exec("set standard_conforming_strings to off");
        }
        rules_ = SpecialTable(d, kind_);
        instance_ = libraries_.guid();
        base_ = registry_update_state(connection_, table_, kind_, filter_);
        quoted_base_ = "'" + base_ + "'";

        keys_.ps = catalogue_integer(connection_.into("SELECT colno FROM syscolumns where tname = '" + d +
                                                      "' and cname = '" + rules_.stamp_column() + "'")) -
                   1;
        keys_.k1 = connection_.into("select cname from syscolumns where tname = '" + d +
                                    "' and in_primary_key = 'Y' order by colno");
        keys_.k2 = connection_.into("select cname from syscolumns where tname = '" + d + "' and cname <> '" +
                                    keys_.k1 + "' and in_primary_key = 'Y' order by colno");
        keys_.p1 = catalogue_integer(connection_.into("SELECT colno FROM syscolumns where tname = '" + d +
                                                      "' and cname = '" + keys_.k1 + "'")) -
                   1;
        if (keys_.two_columns())
            keys_.p2 = catalogue_integer(connection_.into("SELECT colno FROM syscolumns where tname = '" + d +
                                                          "' and cname = '" + keys_.k2 + "'")) -
                       1;

        // Key snapshot: every key within the filter, struck off line by line.
        connection_.exec("DELETE FROM temp_cartella WHERE istanza = '" + instance_ + "'");
        last_error_ = connection_.last_error();
        connection_.exec("commit");
        if (!abandoned()) {
            if (keys_.two_columns())
                connection_.exec("INSERT INTO temp_cartella(istanza,indice_cartella,codice,rowid) SELECT '" +
                                 instance_ + "','0', " + keys_.k1 + ", " + keys_.k2 + " FROM " + d + " " + filter_);
            else
                connection_.exec("INSERT INTO temp_cartella(istanza,indice_cartella,codice,rowid) SELECT '" +
                                 instance_ + "','0', " + keys_.k1 + ", '1' FROM " + d + " " + filter_);
            last_error_ = connection_.last_error();
            connection_.exec("commit");
        }

        if (!abandoned()) {
            const int n = catalogue_integer(connection_.into("SELECT COUNT(*) FROM syscolumns where tname = '" + d + "'"));
            columns_.clear();
            for (int c = 1; c <= n; ++c) {
                std::string name = connection_.into("select cname from syscolumns where tname = '" + d +
                                                    "' and colno=" + std::to_string(c));
                if (name == "default") name = "\"default\"";
                columns_.push_back(std::move(name));
            }
            check_layout();
        }

        // Pieces of every line's statements, built once.
        snapshot_delete_ = "DELETE FROM temp_cartella WHERE istanza = '" + instance_ +
                           "' AND indice_cartella = '0' AND codice = ";
        exists_query_ = "select '1' FROM " + d;
    }

    // A line is matched to the columns by position: a key, stamp or rule
    // column outside the table's columns would address a value the line does
    // not have.  Refused before anything is changed.
    void check_layout() const {
        const int n = static_cast<int>(columns_.size());
        const auto inside = [n](int p) { return p >= 0 && p < n; };
        if (!inside(keys_.p1) || !inside(keys_.ps) || (keys_.two_columns() && !inside(keys_.p2)) ||
            n < rules_.columns_needed())
            throw std::runtime_error("Struttura della tabella " + data_table_ + " non adatta all'aggiornamento");
    }

    void mark_under_way() {
        panel::progress_update("Processing " + data_table_, counters_.bytes_read);
        connection_.exec("UPDATE tables SET chiave1='" + base_ + "', data_upd=now(), time_last=now() WHERE tableid='" +
                         update_id_ + "' AND tabella='upd_" + table_ + "'");
        last_error_ = connection_.last_error();
        connection_.exec("commit");
    }

    void load_line() {
        const StrArray& v = entries_;
        const std::string& key1 = v[keys_.p1];

        // From here the line's key counts as present in the file.
        batch_.append(snapshot_delete_).append(key1);
        if (keys_.two_columns())
            batch_.append(" AND rowid = ").append(v[keys_.p2]);
        else
            batch_.append(" AND rowid = '1'");
        batch_.append(";\r\n");

        const std::string_view stamp = rules_.stamp_of(v[keys_.ps]);
        if (!force_ && !(stamp > std::string_view(quoted_base_))) return;

        where_.assign(" WHERE ").append(keys_.k1).append("=").append(key1).append(" ");
        if (keys_.two_columns()) where_.append(" AND ").append(keys_.k2).append("=").append(v[keys_.p2]).append(" ");

        query_.assign(exists_query_).append(where_);
        const bool exists = connection_.into(query_) == "1";

        std::size_t statement_start;
        std::size_t statement_length;
        if (exists) {
            rules_.merge_existing(connection_, where_, entries_);
            statement_start = batch_.size();
            batch_.append("UPDATE ").append(data_table_).append(" SET ");
            batch_.append(columns_[0]).append("=").append(v[0]);
            for (std::size_t c = 1; c < columns_.size(); ++c)
                batch_.append(",").append(columns_[c]).append("=").append(v[c]);
            batch_.append(where_);
            statement_length = batch_.size() - statement_start;
            batch_.append(";\r\n");
        } else {
            batch_.append("DELETE FROM ").append(data_table_).append(where_).append(";");
            statement_start = batch_.size();
            batch_.append("INSERT INTO ").append(data_table_).append(" VALUES(").append(v[0]);
            for (std::size_t p = 1; p < v.size(); ++p) batch_.append(",").append(v[p]);
            batch_.append(")");
            statement_length = batch_.size() - statement_start;
            batch_.append(";\r\n");
            rules_.after_insert(v, keys_, last_error_, batch_);
        }

        last_error_ = connection_.last_error();
        if (!last_error_.empty() && first_error_pending_) {
            first_error_pending_ = false;
            nsis::host_message_box(last_error_ + "\r\n\r\n" + batch_.substr(statement_start, statement_length),
                                   "Errore SQL", 0);
        }

        rules_.mirror(connection_, v, keys_, batch_);
    }

    // A rejected statement of the batch must not pass unseen: the
    // connection's error names it.
    void execute_batch() {
        batch_.append("commit;\r\n");
        connection_.exec(batch_);
        batch_.clear();
        const std::string error = connection_.last_error();
        if (!error.empty() && first_error_pending_) {
            first_error_pending_ = false;
            nsis::host_message_box(error, "Errore SQL", 0);
        }
    }

    void finish() {
        const std::string& d = data_table_;
        panel::progress_update("Elimino i cancellati di " + d, counters_.bytes_read);

        // Rows whose keys no usable line named (the double blank is part of
        // the text); only snapshot rows, so only rows within the filter.
        std::string vanished = std::string("SELECT 1 FROM temp_cartella t ") + " WHERE t.istanza = '" + instance_ +
                               "' AND t.indice_cartella = '0' AND t.codice =" + d + "." + keys_.k1 + " AND t.rowid=";
        vanished += keys_.two_columns() ? d + "." + keys_.k2 : std::string("'1'");
        connection_.exec("DELETE FROM " + d + " WHERE EXISTS( " + vanished + ")");
        connection_.exec("commit");

        rules_.mirror_deletions(connection_, instance_, keys_);

        connection_.exec("DELETE FROM temp_cartella WHERE istanza = '" + instance_ + "'");

        std::string state = newest_stamp(connection_, d, kind_, filter_);
        if (state.empty()) state = no_update_state;
        state.resize(std::min<std::size_t>(state.size(), 26));
        connection_.exec("UPDATE tables SET chiave1='', data_upd='" + state + "', time_last=now() WHERE tableid='" +
                         update_id_ + "' AND tabella='upd_" + table_ + "'");
        connection_.exec("commit");
    }

    LoaderLibraries& libraries_;
    Connection& connection_;
    DataFile& file_;
    const std::string& table_;
    const std::string data_table_;
    const std::string& filter_;
    const bool force_;
    const std::string update_id_;

    SpecialTable rules_;
    std::string kind_;
    std::string instance_;
    std::string base_;
    std::string quoted_base_;
    TableKeys keys_;
    StrArray columns_;

    LineCounters counters_;
    StrArray entries_;
    std::string batch_;
    std::string where_;
    std::string query_;
    std::string snapshot_delete_;
    std::string exists_query_;
    std::string last_error_;
    bool first_error_pending_ = true;
};

}  // namespace

std::string load_table_data(const std::string& table, const std::string& data_file, const std::string& filter,
                            bool force) {
    if (table.empty() || data_file.empty()) return "error";

    DataFile file;
    std::string failure;
    switch (open_data_file(data_file, file, failure)) {
        case DataFileState::failed:
            toolkit::show_message(failure);
            return "error";
        case DataFileState::too_short:
            return "success";
        case DataFileState::ready:
            break;
    }

    LoaderLibraries libraries("Creazione default data Connection non riuscita");
    if (!libraries) return "error";
    try {
        TableLoad load(libraries, file, table, filter, force);
        return load.run();
    } catch (const std::exception& failure) {
        toolkit::show_message(failure.what());
    } catch (...) {
    }
    return "error";
}

}  // namespace tn
