// The update registry: update ids, frequency stamps, and the statements of
// the state query.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "export_stack.h"
#include "recording_library.h"
#include "toolkit/headless/headless.h"
#include "update/registry.h"

namespace {

using testing_support::RecordingLibrary;
using toolkit::headless::Dialog;
using toolkit::headless::DialogKind;
using Calls = std::vector<std::string>;

TEST(UpdateIdForTable, MapsEveryReferenceTableAndNothingElse) {
    const std::pair<const char*, const char*> cases[] = {
        {"mn_v_prodotti", "RUPDF01"},
        {"mn_prodotti_fast", "RUPDF02"},
        {"mn_v_unipos_cap_gram", "RUPDF03"},
        {"mn_v_mono_testi", "RUPDF04"},
        {"mn_v_interazioni", "RUPDF05"},
        {"mn_v_tbl_descrizione_interazioni", "RUPDF06"},
        {"mn_v_tbl_generica", "RUPDF07"},
        {"mn_v_tbl_note_prescrizione", "RUPDF08"},
        {"mn_v_tbl_prescrivibilita", "RUPDF09"},
        {"mn_v_tbl_regime_ssn", "RUPDF10"},
        {"tarve_testi", "RUPDF11"},
        {"tarve_formule_testi", "RUPDF12"},
        {"gru_acc", "RUPDF13"},
        {"lnk_acc", "RUPDF14"},
        {"mot_ese", "RUPDF15"},
        {"comu_diz", "RUPDF16"},
        {"cprobl", "RUPDF17"},
        {"tab_atc", "RUPDF18"},
        {"acc_ric_pre", "RUPDF19"},
        {"acc_catalogo", "RUPDF20"},
        {"tab_vac", "RUPDF21"},
        {"tab_inc", "RUPDF22"},
        {"", "RUPDERR"},
        {"foo", "RUPDERR"},
        {"CPROBL", "RUPDERR"},
        {"tab_acc", "RUPDERR"},
        {"cprobl ", "RUPDERR"},
        {"mn_v_prodotti_x", "RUPDERR"},
    };
    for (const auto& [table, id] : cases) EXPECT_EQ(tn::update_id_for_table(table), id) << "table: " << table;
}

TEST(DataTableFor, OnlyTheTwoCatalogueNamesLoadIntoTabAcc) {
    const std::pair<const char*, const char*> cases[] = {
        {"acc_ric_pre", "tab_acc"}, {"acc_catalogo", "tab_acc"}, {"ACC_CATALOGO", "ACC_CATALOGO"},
        {"tab_acc", "tab_acc"},     {"cprobl", "cprobl"},         {"", ""},
    };
    for (const auto& [table, data] : cases) EXPECT_EQ(tn::data_table_for(table), data) << "table: " << table;
}

TEST(Frequenza2Dataupd, CountsMinutesFromTheStartOf2000) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "2000-01-01 00:01:00.000000"},
        {"1440", "2000-01-02 00:00:00.000000"},
        {"90", "2000-01-01 01:30:00.000000"},
        {"'1440'", "2000-01-02 00:00:00.000000"},
        {"+59", "2000-01-01 00:59:00.000000"},
        {"84960", "2000-02-29 00:00:00.000000"},       // 2000 is a leap year
        {"527040", "2001-01-01 00:00:00.000000"},      // 366 days
        {"6260159", "2011-11-26 07:59:00.000000"},
        {"52596000", "2100-01-01 00:00:00.000000"},
        {"52680960", "2100-03-01 00:00:00.000000"},    // 2100 is not
        {"2147483647", "6083-01-23 02:07:00.000000"},  // the largest frequency
        {"", ""},
        {"NULL", ""},
        {"null", ""},
        {"0", ""},
        {"-5", ""},
        {"'0'", ""},
        {"-2147483648", ""},
    };
    for (const auto& [value, state] : cases) {
        toolkit::headless::reset();
        const std::string result = tn::frequenza2dataupd(value);
        EXPECT_TRUE(toolkit::headless::dialogs().empty()) << "value: " << value;
        EXPECT_EQ(result, state) << "value: " << value;
    }
}

TEST(Frequenza2Dataupd, TextThatIsNoInt32ShowsItAsReceived) {
    const char* cases[] = {"abc", "'abc'", "2147483648", "-2147483649", "99999999999999999999",
                           "1.5", "0x10", "12a", "+", "-", "'NULL'", "''", "1 2", "'12",
                           " ' 1440' "};  // the blank inside the quotes stays
    for (const char* value : cases) {
        toolkit::headless::reset();
        EXPECT_EQ(tn::frequenza2dataupd(value), "") << "value: " << value;
        EXPECT_EQ(toolkit::headless::dialogs(),
                  (std::vector<Dialog>{{DialogKind::message,
                                        std::string("frequenza2dataupd: eccezione ->") + value + "<-", "", nullptr, 0}}))
            << "value: " << value;
    }
}

// The registry query of table T, and the chiave2 query.
std::string registry_query(const std::string& id, const std::string& table) {
    return "SELECT chiave1 || '0' FROM tables WHERE tableid='" + id + "' AND tabella='upd_" + table + "'";
}
std::string chiave2_query(const std::string& id, const std::string& table) {
    return "SELECT chiave2 FROM tables WHERE tableid='" + id + "' AND tabella='upd_" + table + "'";
}

struct StateCase {
    const char* name;
    std::string table, filter;
    std::map<std::string, std::string> answers;
    Calls calls;
    std::string chiave2, state;
    std::vector<Dialog> dialogs;
};

TEST(ReadUpdateState, RunsTheRegistryStatementsOfEachCase) {
    const std::string sybase_pattern = "SELECT DATEFORMAT(max(data_upd),'yyyy-mm-dd hh:MM:ss.sss000') FROM ";
    const std::string pg_pattern = "SELECT DATEFORMAT(max(data_upd),'YYYY-MM-DD HH24:MI:SS.MS000') FROM ";
    const StateCase cases[] = {
        {"cprobl on PostgreSQL by its frequency, with a filter",
         "cprobl",
         "WHERE x=1",
         {{"SELECT dbmstype()", "postgresql"},
          {registry_query("RUPDF17", "cprobl"), "0"},
          {"SELECT max(frequenza) FROM cprobl WHERE x=1", "1440"},
          {chiave2_query("RUPDF17", "cprobl"), "K2"}},
         {"create", "into: SELECT dbmstype()", "into: SELECT prepara_ambiente_tn()",
          "into: " + registry_query("RUPDF17", "cprobl"), "into: SELECT max(frequenza) FROM cprobl WHERE x=1",
          "into: " + chiave2_query("RUPDF17", "cprobl"), "exec: commit", "destroy"},
         "K2",
         "2000-01-02 00:00:00.000000",
         {}},
        {"acc_catalogo without a registry row, on the default kind",
         "acc_catalogo",
         "",
         {},
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF20", "acc_catalogo"),
          "exec: DELETE FROM tables WHERE tabella='upd_acc_catalogo'",
          "exec: INSERT INTO tables(tableid,tabella,chiave1,descrizione) VALUES "
          "('RUPDF20','upd_acc_catalogo','','Update tab_acc')",
          "into: " + sybase_pattern + "tab_acc ", "into: " + chiave2_query("RUPDF20", "acc_catalogo"), "exec: commit",
          "destroy"},
         "",
         tn::no_update_state,
         {}},
        {"an unknown name on PostgreSQL",
         "foo",
         "",
         {{"SELECT dbmstype()", "postgresql"},
          {registry_query("RUPDERR", "foo"), "0"},
          {pg_pattern + "foo ", "2012-03-04 05:06:07.890000"}},
         {"create", "into: SELECT dbmstype()", "into: SELECT prepara_ambiente_tn()",
          "into: " + registry_query("RUPDERR", "foo"), "into: " + pg_pattern + "foo ",
          "into: " + chiave2_query("RUPDERR", "foo"), "exec: commit", "destroy"},
         "",
         "2012-03-04 05:06:07.890000",
         {}},
        {"a name in capitals, and a kind in capitals",
         "CPROBL",
         "",
         {{"SELECT dbmstype()", "PostgreSQL"}, {registry_query("RUPDERR", "CPROBL"), "0"}},
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDERR", "CPROBL"),
          "into: " + sybase_pattern + "CPROBL ", "into: " + chiave2_query("RUPDERR", "CPROBL"), "exec: commit",
          "destroy"},
         "",
         tn::no_update_state,
         {}},
        {"an unfinished load keeps the state it started from",
         "cprobl",
         "WHERE x=1",
         {{registry_query("RUPDF17", "cprobl"), "2011-05-02 10:00:00.0000000"},
          {chiave2_query("RUPDF17", "cprobl"), "abc"}},
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF17", "cprobl"),
          "into: " + chiave2_query("RUPDF17", "cprobl"), "exec: commit", "destroy"},
         "abc",
         "2011-05-02 10:00:00.000000",
         {}},
        {"a chiave1 of one character",
         "tab_vac",
         "",
         {{registry_query("RUPDF21", "tab_vac"), "X0"}},
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF21", "tab_vac"),
          "into: " + chiave2_query("RUPDF21", "tab_vac"), "exec: commit", "destroy"},
         "",
         "X0",
         {}},
        {"a frequency that is no number",
         "cprobl",
         "",
         {{registry_query("RUPDF17", "cprobl"), "0"}, {"SELECT max(frequenza) FROM cprobl ", "abc"}},
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF17", "cprobl"),
          "into: SELECT max(frequenza) FROM cprobl ", "into: " + chiave2_query("RUPDF17", "cprobl"), "exec: commit",
          "destroy"},
         "",
         tn::no_update_state,
         {{DialogKind::message, "frequenza2dataupd: eccezione ->abc<-", "", nullptr, 0}}},
        {"a frequency of 0",
         "cprobl",
         "",
         {{registry_query("RUPDF17", "cprobl"), "0"}, {"SELECT max(frequenza) FROM cprobl ", "0"}},
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF17", "cprobl"),
          "into: SELECT max(frequenza) FROM cprobl ", "into: " + chiave2_query("RUPDF17", "cprobl"), "exec: commit",
          "destroy"},
         "",
         tn::no_update_state,
         {}},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        lib.answers = c.answers;
        std::string chiave2 = "stale", state = "stale";
        tn::read_update_state(c.table, c.filter, chiave2, state);
        EXPECT_EQ(lib.calls, c.calls) << c.name;
        EXPECT_EQ(chiave2, c.chiave2) << c.name;
        EXPECT_EQ(state, c.state) << c.name;
        EXPECT_EQ(toolkit::headless::dialogs(), c.dialogs) << c.name;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.name;
        EXPECT_EQ(toolkit::headless::busy_count(), 1) << c.name;
        EXPECT_EQ(toolkit::headless::busy_depth(), 0) << c.name;
    }
}

TEST(ReadUpdateState, RowStillHeldByAnUnfinishedLoadIsLeftAlone) {
    RecordingLibrary lib;
    lib.answers = {{registry_query("RUPDF17", "cprobl"), "2011-05-02 10:00:00.0000000"}};
    std::string chiave2, state;
    tn::read_update_state("cprobl", "", chiave2, state);
    for (const auto& statement : lib.statements()) {
        EXPECT_EQ(statement.find("DELETE"), std::string::npos) << statement;
        EXPECT_EQ(statement.find("INSERT"), std::string::npos) << statement;
        EXPECT_EQ(statement.find("frequenza"), std::string::npos) << statement;
    }
}

struct FailureCase {
    const char* name;
    std::function<void(RecordingLibrary&)> arrange;
    Calls calls;
    std::string chiave2;
    std::vector<Dialog> dialogs;
    int busy_count;
};

TEST(ReadUpdateState, FailuresGiveNoStateAndReleaseEverything) {
    auto throw_on = [](const std::string& text) {
        return [text](RecordingLibrary& l) {
            l.answer = [text](const std::string& query) -> std::string {
                if (query == text) throw std::runtime_error("Errore di rete");
                return query == chiave2_query("RUPDF17", "cprobl") ? "K2" : "";
            };
            l.on_exec = [text](const std::string& statement) {
                if (statement == text) throw std::runtime_error("Errore di rete");
            };
        };
    };
    const FailureCase cases[] = {
        {"vorovuro.dll missing",
         [](RecordingLibrary& l) { l.vorovuro_missing = true; },
         {},
         "",
         {{DialogKind::error, "Impossibile caricare la libreria vorovuro.dll (1)", "", nullptr, 0}},
         0},
        {"the query function missing",
         [](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_into"}; },
         {},
         "",
         {{DialogKind::error, "Impossibile creare default data connection", "", nullptr, 0}},
         0},
        {"the statement function missing",
         [](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_exec"}; },
         {},
         "",
         {{DialogKind::error, "Impossibile creare default data connection", "", nullptr, 0}},
         0},
        {"no connection",
         [](RecordingLibrary& l) { l.handle = 0; },
         {"create"},
         "",
         {{DialogKind::error, "Creazione default Data connection non riuscita", "", nullptr, 0}},
         1},
        {"the registry query fails",
         throw_on(registry_query("RUPDF17", "cprobl")),
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF17", "cprobl"), "destroy"},
         "",
         {{DialogKind::message, "Errore di rete", "", nullptr, 0}},
         1},
        {"the commit fails after chiave2 was read",
         throw_on("commit"),
         {"create", "into: SELECT dbmstype()", "into: " + registry_query("RUPDF17", "cprobl"),
          "exec: DELETE FROM tables WHERE tabella='upd_cprobl'",
          "exec: INSERT INTO tables(tableid,tabella,chiave1,descrizione) VALUES "
          "('RUPDF17','upd_cprobl','','Update cprobl')",
          "into: SELECT max(frequenza) FROM cprobl ", "into: " + chiave2_query("RUPDF17", "cprobl"), "exec: commit",
          "destroy"},
         "K2",
         {{DialogKind::message, "Errore di rete", "", nullptr, 0}},
         1},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        c.arrange(lib);
        lib.install();
        std::string chiave2 = "stale", state = "stale";
        tn::read_update_state("cprobl", "", chiave2, state);
        EXPECT_EQ(lib.calls, c.calls) << c.name;
        EXPECT_EQ(state, "") << c.name;
        EXPECT_EQ(chiave2, c.chiave2) << c.name;
        EXPECT_EQ(toolkit::headless::dialogs(), c.dialogs) << c.name;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.name;
        EXPECT_EQ(toolkit::headless::busy_count(), c.busy_count) << c.name;
        EXPECT_EQ(toolkit::headless::busy_depth(), 0) << c.name;
    }
}

TEST(ReadUpdateState, NoErrorTextFunctionNeeded) {
    RecordingLibrary lib;
    lib.missing_functions = {"API_DCN_get_last_error"};
    lib.install();
    std::string chiave2, state;
    tn::read_update_state("tab_vac", "", chiave2, state);
    EXPECT_EQ(state, tn::no_update_state);
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
}

TEST(ExecGetDataUpd, PushesChiave2ThenTheStateOnTop) {
    RecordingLibrary lib;
    lib.answers = {{registry_query("RUPDF20", "acc_catalogo"), "0"},
                   {"SELECT DATEFORMAT(max(data_upd),'yyyy-mm-dd hh:MM:ss.sss000') FROM tab_acc WHERE x=1",
                    "2015-01-01 00:00:00.000000"},
                   {chiave2_query("RUPDF20", "acc_catalogo"), "chiave"}};
    testing_support::ExportStack stack;
    EXPECT_EQ(stack.call(exec_get_data_upd, {"acc_catalogo", "WHERE x=1", "below"}),
              (std::vector<std::string>{"2015-01-01 00:00:00.000000", "chiave", "below"}));
}

TEST(ExecGetDataUpd, EmptyNamePushesTwoEmptyResultsAndTouchesNothing) {
    RecordingLibrary lib;
    testing_support::ExportStack stack;
    EXPECT_EQ(stack.call(exec_get_data_upd, {"", "WHERE x=1", "below"}),
              (std::vector<std::string>{"", "", "below"}));
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_TRUE(toolkit::headless::library_log().empty());
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
    EXPECT_EQ(toolkit::headless::busy_count(), 0);
}

}  // namespace
