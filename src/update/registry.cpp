#include "update/registry.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>

#include "toolkit/toolkit.h"
#include "update/data_line.h"

namespace tn {

namespace {

// Days since 2000-01-01 as a proleptic Gregorian date (days are counted in
// 400-year eras, whose calendar repeats exactly).
void civil_from_days(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 10957 + 719468;  // 2000-01-01 is day 10957 of 1970; eras start on 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned shifted_month = (5 * day_of_year + 2) / 153;  // March is 0
    day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
}

// A decimal signed 32-bit integer, sign optional, nothing else around it.
bool parse_int32(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 2147483648LL) return false;
    }
    const std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > 2147483647LL) return false;
    value = static_cast<std::int32_t>(signed_value);
    return true;
}

std::string registry_key(const std::string& table) {
    return "tableid='" + update_id_for_table(table) + "' AND tabella='upd_" + table + "'";
}

}  // namespace

std::string data_table_for(const std::string& table) {
    if (table == "acc_ric_pre" || table == "acc_catalogo") return "tab_acc";
    return table;
}

std::string update_id_for_table(const std::string& table) {
    static const char* const names[] = {
        "mn_v_prodotti",        "mn_prodotti_fast",
        "mn_v_unipos_cap_gram", "mn_v_mono_testi",
        "mn_v_interazioni",     "mn_v_tbl_descrizione_interazioni",
        "mn_v_tbl_generica",    "mn_v_tbl_note_prescrizione",
        "mn_v_tbl_prescrivibilita", "mn_v_tbl_regime_ssn",
        "tarve_testi",          "tarve_formule_testi",
        "gru_acc",              "lnk_acc",
        "mot_ese",              "comu_diz",
        "cprobl",               "tab_atc",
        "acc_ric_pre",          "acc_catalogo",
        "tab_vac",              "tab_inc",
    };
    static const char* const ids[] = {
        "RUPDF01", "RUPDF02", "RUPDF03", "RUPDF04", "RUPDF05", "RUPDF06", "RUPDF07", "RUPDF08",
        "RUPDF09", "RUPDF10", "RUPDF11", "RUPDF12", "RUPDF13", "RUPDF14", "RUPDF15", "RUPDF16",
        "RUPDF17", "RUPDF18", "RUPDF19", "RUPDF20", "RUPDF21", "RUPDF22",
    };
    static_assert(std::size(names) == std::size(ids));
    for (std::size_t i = 0; i < std::size(names); ++i)
        if (table == names[i]) return ids[i];
    return "RUPDERR";
}

std::string frequenza2dataupd(const std::string& value) {
    if (value.empty()) return {};
    if (value.size() == 4) {
        std::string upper = value;
        for (auto& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (upper == "NULL") return {};
    }
    std::int32_t minutes = 0;
    if (!parse_int32(unquote_value(value), minutes)) {
        toolkit::show_message("frequenza2dataupd: eccezione ->" + value + "<-");
        return {};
    }
    if (minutes <= 0) return {};
    std::int64_t year;
    unsigned month, day;
    civil_from_days(minutes / 1440, year, month, day);
    const int minute_of_day = minutes % 1440;
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02d:%02d:00.000000", static_cast<long long>(year), month, day,
                  minute_of_day / 60, minute_of_day % 60);
    return text;
}

std::string database_kind(Connection& connection) {
    std::string kind = connection.into("SELECT dbmstype()");
    if (kind.empty()) kind = "sybase";
    return kind;
}

std::string registry_update_state(Connection& connection, const std::string& table, const std::string& kind,
                                  const std::string& filter) {
    const std::string data_table = data_table_for(table);
    std::string chiave1 = connection.into("SELECT chiave1 || '0' FROM tables WHERE " + registry_key(table));
    if (chiave1.empty()) {
        // No row, or one whose chiave1 is NULL: start the row afresh.
        connection.exec("DELETE FROM tables WHERE tabella='upd_" + table + "'");
        connection.exec("INSERT INTO tables(tableid,tabella,chiave1,descrizione) VALUES ('" +
                        update_id_for_table(table) + "','upd_" + table + "','','Update " + data_table + "')");
        chiave1.assign(1, '0');
    }
    // A load that has not completed keeps the state it started from, so the
    // next load applies again everything newer than that.
    if (chiave1 != "0") return chiave1.substr(0, 26);
    return newest_stamp(connection, data_table, kind, filter);
}

std::string newest_stamp(Connection& connection, const std::string& data_table, const std::string& kind,
                         const std::string& filter) {
    std::string stamp;
    if (data_table == "cprobl")
        stamp = frequenza2dataupd(connection.into("SELECT max(frequenza) FROM " + data_table + " " + filter));
    else if (kind == "postgresql")
        stamp = connection.into("SELECT DATEFORMAT(max(data_upd),'YYYY-MM-DD HH24:MI:SS.MS000') FROM " + data_table +
                                " " + filter);
    else
        stamp = connection.into("SELECT DATEFORMAT(max(data_upd),'yyyy-mm-dd hh:MM:ss.sss000') FROM " + data_table +
                                " " + filter);
    if (stamp.empty()) stamp = no_update_state;
    return stamp;
}

void read_update_state(const std::string& table, const std::string& filter, std::string& chiave2,
                       std::string& state) {
    chiave2.clear();
    state.clear();
    try {
        if (data_table_for(table).empty()) return;

        DataSession session(need_exec | need_into, true, "Creazione default Data connection non riuscita");
        if (!session) return;
        Connection& connection = session.connection();
        try {
            const std::string kind = database_kind(connection);
            if (kind == "postgresql") connection.into("SELECT prepara_ambiente_tn()");
            std::string found = registry_update_state(connection, table, kind, filter);
            chiave2 = connection.into("SELECT chiave2 FROM tables WHERE " + registry_key(table));
            connection.exec("commit");
            state = std::move(found);
        } catch (const std::exception& failure) {
            toolkit::show_message(failure.what());
        }
    } catch (...) {
        // Nothing escapes to the installer: the empty state tells it the
        // operation failed.
        state.clear();
    }
}

}  // namespace tn
