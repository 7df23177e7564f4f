#include "update/special_tables.h"

#include "update/data_line.h"
#include "update/registry.h"

namespace tn {

namespace {

// A plain decimal number, which can stand in SQL without quotes.
bool is_plain_number(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// Puts a kept value into the line when the database had one.
void keep_if_any(const std::string& answer, std::string& entry, bool backslash_escapes) {
    if (!answer.empty()) entry = read_back_literal(answer, backslash_escapes);
}

}  // namespace

std::string read_back_literal(std::string_view value, bool backslash_escapes) {
    std::string literal;
    literal.reserve(value.size() + 2);
    literal += '\'';
    for (char c : value) {
        literal += c;
        if (c == '\'' || (backslash_escapes && c == '\\')) literal += c;
    }
    literal += '\'';
    return literal;
}

SpecialTable::SpecialTable(const std::string& data_table, const std::string& kind)
    : rules_(Rules::ordinary), backslash_escapes_(kind == "postgresql") {
    // Exact, case-sensitive names: "CPROBL" is an ordinary table.
    if (data_table == "tab_acc") rules_ = Rules::tab_acc;
    else if (data_table == "tab_vac") rules_ = Rules::tab_vac;
    else if (data_table == "cprobl") rules_ = Rules::cprobl;
    else if (data_table == "mn_v_tbl_note_prescrizione") rules_ = Rules::note_prescrizione;
    else if (data_table == "mn_v_tbl_generica") rules_ = Rules::generica;
}

const char* SpecialTable::stamp_column() const { return rules_ == Rules::cprobl ? "frequenza" : "data_upd"; }

int SpecialTable::columns_needed() const {
    switch (rules_) {
        case Rules::tab_acc: return 27;            // acc_short
        case Rules::tab_vac: return 10;            // vac_status
        case Rules::note_prescrizione: return 6;   // num_orig
        case Rules::generica: return 3;            // the description
        default: return 0;
    }
}

std::string_view SpecialTable::stamp_of(const std::string& entry) {
    if (rules_ != Rules::cprobl) return entry;
    // The frequency in minutes as an update state; the entry itself stays as
    // it is for the statements.
    std::string state = frequenza2dataupd(entry);
    if (state.empty()) state = no_update_state;
    stamp_.assign(1, '\'').append(state).append(1, '\'');
    return stamp_;
}

void SpecialTable::merge_existing(Connection& connection, const std::string& where, StrArray& entries) const {
    const bool esc = backslash_escapes_;
    if (rules_ == Rules::tab_vac) {
        const std::string status = connection.into("select vac_status FROM tab_vac " + where);
        if (status == "O") return;  // the practice left the row to the updates
        entries[9] = read_back_literal(status, esc);
        keep_if_any(connection.into("select vac_descr FROM tab_vac " + where + " AND vac_descr <> vac_orig"),
                    entries[2], esc);
        const std::string rich = connection.into("select vac_rich FROM tab_vac " + where);
        if (!rich.empty()) {
            // A number goes back as the database gave it; anything else would
            // break the statement, so it goes back as a literal.
            entries[4] = is_plain_number(rich) ? rich : read_back_literal(rich, esc);
        }
        return;
    }
    if (rules_ == Rules::tab_acc) {
        // The practice's short name survives every update.
        keep_if_any(connection.into("select acc_short FROM tab_acc " + where), entries[26], esc);
        const std::string status = connection.into("select acc_status FROM tab_acc " + where);
        if (status == "O") return;
        entries[8] = read_back_literal(status, esc);
        keep_if_any(connection.into("select acc_descr FROM tab_acc " + where + " AND acc_descr <> acc_orig"),
                    entries[2], esc);
        keep_if_any(connection.into("select acc_costo FROM tab_acc " + where + " AND acc_costo <> acc_costo_orig"),
                    entries[7], esc);
        keep_if_any(connection.into("select acc_tipo FROM tab_acc " + where + " AND acc_tipo <> acc_tipo_orig"),
                    entries[5], esc);
        keep_if_any(connection.into("select acc_prn FROM tab_acc " + where + " AND acc_prn <> acc_prn_orig"),
                    entries[4], esc);
        const std::string norma =
            connection.into("select acc_norma FROM tab_acc " + where + " AND COALESCE(acc_norma,'') <> ''");
        if (is_null_value(entries[6])) keep_if_any(norma, entries[6], esc);
    }
}

void SpecialTable::after_insert(const StrArray& entries, const TableKeys& keys, const std::string& last_error,
                                std::string& batch) const {
    if (rules_ != Rules::cprobl || !last_error.empty()) return;
    const std::string code = "ICD9CM_" + unquote_value(entries[keys.p1]);
    batch.append("DELETE FROM contatori WHERE riga_id='").append(code).append("'").append(";\r\n");
    batch.append("INSERT INTO contatori(riga_id,data_upd,contatore) VALUES( '")
        .append(code)
        .append("',NOW(),5)")
        .append(";\r\n");
}

void SpecialTable::mirror(Connection& connection, const StrArray& entries, const TableKeys& keys,
                          std::string& batch) const {
    if (rules_ == Rules::note_prescrizione) {
        const std::string& id = entries[keys.p1];
        if (connection.into("select '1' FROM notessn WHERE ID = " + id) == "1") {
            batch.append("UPDATE notessn  SET descr = ").append(entries[3]);
            batch.append(", conferma = ").append(entries[4]);
            batch.append(", num_orig = ").append(entries[5]);
            batch.append(" WHERE ID = ").append(id).append(";\r\n");
        } else {
            batch.append("INSERT INTO  notessn ( id, descr, conferma, num_orig ) VALUES(").append(id);
            batch.append(",").append(entries[3]).append(",").append(entries[4]).append(",").append(entries[5]);
            batch.append(")").append(";\r\n");
        }
        return;
    }
    // The ATC rows are told by the record type in the first key column; a
    // layout without a second key column holds no code to mirror.
    if (rules_ == Rules::generica && keys.two_columns() && entries[keys.p1] == "'ATC'") {
        const std::string& code = entries[keys.p2];
        if (connection.into("select '1' FROM tab_atc WHERE atc_cod = " + code) == "1") {
            batch.append("UPDATE tab_atc SET atc_des = ").append(entries[2]);
            batch.append(" WHERE atc_cod = ").append(code).append(";\r\n");
        } else {
            batch.append("INSERT INTO tab_atc( atc_cod, atc_des ) VALUES(").append(code);
            batch.append(",").append(entries[2]).append(")").append(";\r\n");
        }
    }
}

void SpecialTable::mirror_deletions(Connection& connection, const std::string& instance,
                                    const TableKeys& keys) const {
    if (rules_ == Rules::note_prescrizione) {
        // The double blank inside the subquery is part of the text.
        const std::string rows = std::string("SELECT 1 FROM temp_cartella t ") + " WHERE t.istanza = '" + instance +
                                 "' AND t.indice_cartella = '0' AND t.codice = notessn.ID AND t.rowid='1'";
        connection.exec("DELETE FROM notessn WHERE EXISTS( " + rows + ")");
        connection.exec("commit");
    } else if (rules_ == Rules::generica && keys.two_columns()) {
        const std::string rows = std::string("SELECT 1 FROM temp_cartella t ") + " WHERE t.istanza = '" + instance +
                                 "' AND t.indice_cartella = '0' AND t.codice = 'ATC' AND t.rowid = tab_atc.atc_cod";
        connection.exec("DELETE FROM tab_atc WHERE EXISTS( " + rows + ")");
        connection.exec("commit");
    }
}

}  // namespace tn
