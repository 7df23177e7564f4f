// The table loader's exact statements through the recording library: the
// generic algorithm for one- and two-column keys, the special tables' rules,
// pause and abandon, SQL errors, and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plugin/panel.h"
#include "plugin/panel_headless.h"
#include "recording_library.h"
#include "temp_file.h"
#include "toolkit/headless/headless.h"
#include "update/load_common.h"
#include "update/loader.h"
#include "update/special_tables.h"

namespace {

using testing_support::RecordingLibrary;
using toolkit::headless::Dialog;
using toolkit::headless::DialogKind;
using Calls = std::vector<std::string>;

const std::string base = "2010-01-01 00:00:00.000000";

std::string write_file(const std::string& name, const std::string& bytes) {
    const std::string path = testing_support::temp_path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Lines joined with CR LF, padded with one more line so the file passes the
// 128-byte threshold when the test's own lines are short.
std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

struct Column {
    std::string name;
    bool key = false;
};

// A practice database as the catalogue and the registry answer it: the
// columns of one data table, the base state, and any further answers.
struct Catalogue {
    std::string table;  // D
    std::vector<Column> columns;
    std::string kind = "";     // dbmstype()
    std::string chiave1 = "0"; // registry answer
    std::string stamp = base;  // newest stamp (or frequency) of the data table
    std::map<std::string, std::string> rows = {};

    std::string answer(const std::string& q) const {
        const std::string where = "syscolumns where tname = '" + table + "'";
        if (q == "SELECT dbmstype()") return kind;
        if (q.rfind("SELECT chiave1 || '0' FROM tables", 0) == 0) return chiave1;
        if (q.rfind("SELECT DATEFORMAT(max(data_upd)", 0) == 0 || q.rfind("SELECT max(frequenza)", 0) == 0)
            return stamp;
        std::vector<std::string> keys;
        for (const auto& c : columns)
            if (c.key) keys.push_back(c.name);
        if (q == "select cname from " + where + " and in_primary_key = 'Y' order by colno")
            return keys.empty() ? "" : keys[0];
        if (!keys.empty() &&
            q == "select cname from " + where + " and cname <> '" + keys[0] + "' and in_primary_key = 'Y' order by colno")
            return keys.size() > 1 ? keys[1] : "";
        if (q == "SELECT COUNT(*) FROM " + where) return std::to_string(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (q == "SELECT colno FROM " + where + " and cname = '" + columns[i].name + "'")
                return std::to_string(i + 1);
            if (q == "select cname from " + where + " and colno=" + std::to_string(i + 1)) return columns[i].name;
        }
        auto it = rows.find(q);
        return it == rows.end() ? "" : it->second;
    }
};

class Loader : public ::testing::Test {
protected:
    void SetUp() override {
        toolkit::headless::set_local_time_ms(1000000);
        panel::paused = false;
        panel::abort_requested = false;
        panel::progress_hook() = [this](const std::string& text, std::uint32_t done) {
            reports.emplace_back(text, done);
            if (on_report) on_report(text);
        };
    }
    void TearDown() override {
        panel::progress_hook() = nullptr;
        panel::paused = false;
        panel::abort_requested = false;
    }

    std::string load(const Catalogue& catalogue, const std::string& table, const std::vector<std::string>& lines,
                     bool force, const std::string& filter = "") {
        rec.answer = [&catalogue](const std::string& q) { return catalogue.answer(q); };
        const std::string path = write_file("load_" + table + ".txt", crlf(lines));
        return tn::load_table_data(table, path, filter, force);
    }

    // The executed batches, in order.
    Calls batches() const {
        Calls out;
        for (const auto& s : rec.statements())
            if (s.find("commit;\r\n") != std::string::npos) out.push_back(s);
        return out;
    }

    // The calls after the registry row was marked under way, up to the end.
    Calls calls_after_mark() const {
        for (std::size_t i = 0; i < rec.calls.size(); ++i)
            if (rec.calls[i].rfind("exec: UPDATE tables SET chiave1='2", 0) == 0)
                return Calls(rec.calls.begin() + static_cast<long>(i) + 3, rec.calls.end());
        return {};
    }

    RecordingLibrary rec;
    std::vector<std::pair<std::string, std::uint32_t>> reports;
    std::function<void(const std::string&)> on_report;
};

const std::string pad(70, 'x');
const std::string wide(150, 'w');

TEST_F(Loader, OneColumnKeyRunsEveryStatementInOrder) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
    db.stamp = base;
    db.rows["select '1' FROM comu_diz WHERE cod='A01' "] = "1";
    const std::vector<std::string> lines = {
        "A01,'Roma " + pad + "','2011-01-01 00:00:00.000000'",
        "B02,'Sant''Angelo, Lodi',(NULL)",
    };
    ASSERT_EQ(load(db, "comu_diz", lines, false), "success");

    const std::string snapshot = "DELETE FROM temp_cartella WHERE istanza = 'GUID-1' AND indice_cartella = '0' AND codice = ";
    const Calls expected = {
        "create",
        "into: SELECT dbmstype()",
        "GetGUid",
        "into: SELECT chiave1 || '0' FROM tables WHERE tableid='RUPDF16' AND tabella='upd_comu_diz'",
        "into: SELECT DATEFORMAT(max(data_upd),'yyyy-mm-dd hh:MM:ss.sss000') FROM comu_diz ",
        "into: SELECT colno FROM syscolumns where tname = 'comu_diz' and cname = 'data_upd'",
        "into: select cname from syscolumns where tname = 'comu_diz' and in_primary_key = 'Y' order by colno",
        "into: select cname from syscolumns where tname = 'comu_diz' and cname <> 'cod' and in_primary_key = 'Y' "
        "order by colno",
        "into: SELECT colno FROM syscolumns where tname = 'comu_diz' and cname = 'cod'",
        "exec: DELETE FROM temp_cartella WHERE istanza = 'GUID-1'",
        "last_error",
        "exec: commit",
        "exec: INSERT INTO temp_cartella(istanza,indice_cartella,codice,rowid) SELECT 'GUID-1','0', cod, '1' FROM "
        "comu_diz ",
        "last_error",
        "exec: commit",
        "into: SELECT COUNT(*) FROM syscolumns where tname = 'comu_diz'",
        "into: select cname from syscolumns where tname = 'comu_diz' and colno=1",
        "into: select cname from syscolumns where tname = 'comu_diz' and colno=2",
        "into: select cname from syscolumns where tname = 'comu_diz' and colno=3",
        "exec: UPDATE tables SET chiave1='" + base +
            "', data_upd=now(), time_last=now() WHERE tableid='RUPDF16' AND tabella='upd_comu_diz'",
        "last_error",
        "exec: commit",
        "into: select '1' FROM comu_diz WHERE cod='A01' ",
        "last_error",
        "into: select '1' FROM comu_diz WHERE cod='B02' ",
        "last_error",
        "exec: " + snapshot + "'A01' AND rowid = '1';\r\n" +
            "UPDATE comu_diz SET cod='A01',descr='Roma " + pad +
            "',data_upd='2011-01-01 00:00:00.000000' WHERE cod='A01' ;\r\n" + snapshot + "'B02' AND rowid = '1';\r\n" +
            "DELETE FROM comu_diz WHERE cod='B02' ;INSERT INTO comu_diz VALUES('B02','Sant''Angelo, Lodi',NULL);\r\n" +
            "commit;\r\n",
        "last_error",
        "exec: DELETE FROM comu_diz WHERE EXISTS( SELECT 1 FROM temp_cartella t  WHERE t.istanza = 'GUID-1' AND "
        "t.indice_cartella = '0' AND t.codice =comu_diz.cod AND t.rowid='1')",
        "exec: commit",
        "exec: DELETE FROM temp_cartella WHERE istanza = 'GUID-1'",
        "into: SELECT DATEFORMAT(max(data_upd),'yyyy-mm-dd hh:MM:ss.sss000') FROM comu_diz ",
        "exec: UPDATE tables SET chiave1='', data_upd='" + base +
            "', time_last=now() WHERE tableid='RUPDF16' AND tabella='upd_comu_diz'",
        "exec: commit",
        "destroy",
    };
    EXPECT_EQ(rec.calls, expected);

    const std::uint32_t first = static_cast<std::uint32_t>(lines[0].size() + 2);
    const std::uint32_t total = (first + static_cast<std::uint32_t>(lines[1].size()) + 2) / 128 * 128;
    const std::vector<std::pair<std::string, std::uint32_t>> shown = {
        {"Inizializzazione per comu_diz", 0},
        {"Processing comu_diz", 0},
        {"Processing comu_diz (1) @ 0 secondi al termine", first},
        {"Processing comu_diz (2) @ 0 secondi al termine", total},
        {"Elimino i cancellati di comu_diz", total},
    };
    EXPECT_EQ(reports, shown);
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
    EXPECT_EQ(toolkit::headless::busy_depth(), 0);
    EXPECT_EQ(toolkit::headless::busy_count(), 1);
    EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
}

TEST_F(Loader, TwoColumnKeyOnPostgresqlUnderTheForceFlag) {
    Catalogue db{"lnk_acc", {{"grp", true}, {"acc", true}, {"descr"}, {"data_upd"}}, "postgresql"};
    db.rows["select '1' FROM lnk_acc WHERE grp='G1'  AND acc='A1' "] = "1";
    // Both stamps are older than the base state: only the force flag applies them.
    const std::vector<std::string> lines = {
        "G1,A1,'primo " + pad + "','2001-01-01 00:00:00.000000'",
        "G1,A2,'secondo',(NULL)",
    };
    ASSERT_EQ(load(db, "lnk_acc", lines, true, "WHERE grp='G1'"), "success");

    const Calls statements = rec.statements();
    const Calls head(statements.begin(), statements.begin() + 5);
    EXPECT_EQ(head, (Calls{"SELECT dbmstype()", "SELECT prepara_ambiente_tn()", "set standard_conforming_strings to off",
                           "SELECT chiave1 || '0' FROM tables WHERE tableid='RUPDF14' AND tabella='upd_lnk_acc'",
                           "SELECT DATEFORMAT(max(data_upd),'YYYY-MM-DD HH24:MI:SS.MS000') FROM lnk_acc WHERE "
                           "grp='G1'"}));
    EXPECT_NE(std::find(statements.begin(), statements.end(),
                        "SELECT colno FROM syscolumns where tname = 'lnk_acc' and cname = 'acc'"),
              statements.end());
    EXPECT_NE(std::find(statements.begin(), statements.end(),
                        "INSERT INTO temp_cartella(istanza,indice_cartella,codice,rowid) SELECT 'GUID-1','0', grp, "
                        "acc FROM lnk_acc WHERE grp='G1'"),
              statements.end());

    const Calls expected = {
        "into: select '1' FROM lnk_acc WHERE grp='G1'  AND acc='A1' ",
        "last_error",
        "into: select '1' FROM lnk_acc WHERE grp='G1'  AND acc='A2' ",
        "last_error",
        "exec: DELETE FROM temp_cartella WHERE istanza = 'GUID-1' AND indice_cartella = '0' AND codice = 'G1' AND "
        "rowid = 'A1';\r\n"
        "UPDATE lnk_acc SET grp='G1',acc='A1',descr='primo " +
            pad +
            "',data_upd='2001-01-01 00:00:00.000000' WHERE grp='G1'  AND acc='A1' ;\r\n"
            "DELETE FROM temp_cartella WHERE istanza = 'GUID-1' AND indice_cartella = '0' AND codice = 'G1' AND "
            "rowid = 'A2';\r\n"
            "DELETE FROM lnk_acc WHERE grp='G1'  AND acc='A2' ;INSERT INTO lnk_acc VALUES('G1','A2','secondo',NULL);"
            "\r\ncommit;\r\n",
        "last_error",
        "exec: DELETE FROM lnk_acc WHERE EXISTS( SELECT 1 FROM temp_cartella t  WHERE t.istanza = 'GUID-1' AND "
        "t.indice_cartella = '0' AND t.codice =lnk_acc.grp AND t.rowid=lnk_acc.acc)",
        "exec: commit",
        "exec: DELETE FROM temp_cartella WHERE istanza = 'GUID-1'",
        "into: SELECT DATEFORMAT(max(data_upd),'YYYY-MM-DD HH24:MI:SS.MS000') FROM lnk_acc WHERE grp='G1'",
        "exec: UPDATE tables SET chiave1='', data_upd='" + base +
            "', time_last=now() WHERE tableid='RUPDF14' AND tabella='upd_lnk_acc'",
        "exec: commit",
        "destroy",
    };
    EXPECT_EQ(calls_after_mark(), expected);
}

TEST_F(Loader, StampTestAndUnusableLines) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}, {"default"}}};
    db.rows["select '1' FROM comu_diz WHERE cod='N' "] = "1";
    const std::vector<std::string> lines = {
        "E,'same stamp " + pad + "','" + base + "',1",   // equal to the base: struck off, not applied
        "O,'older','2000-01-01 00:00:00.000000',1",       // older: the same
        "N,'null stamp',,1",                              // NULL is newer than any stamp
        "",                                               // skipped, not counted
        "S,'one value short','2011-01-01 00:00:00.000000'",  // not struck off: deleted at the end
        "'ab'c,d",                                        // no entries at all
    };
    ASSERT_EQ(load(db, "comu_diz", lines, false), "success");
    const std::string snapshot =
        "DELETE FROM temp_cartella WHERE istanza = 'GUID-1' AND indice_cartella = '0' AND codice = ";
    ASSERT_EQ(batches().size(), 1u);
    EXPECT_EQ(batches()[0], snapshot + "'E' AND rowid = '1';\r\n" + snapshot + "'O' AND rowid = '1';\r\n" + snapshot +
                                "'N' AND rowid = '1';\r\n" +
                                "UPDATE comu_diz SET cod='N',descr='null stamp',data_upd=NULL,\"default\"='1' WHERE "
                                "cod='N' ;\r\ncommit;\r\n");
    EXPECT_EQ(reports.back(), (std::pair<std::string, std::uint32_t>("Elimino i cancellati di comu_diz",
                                                                     reports.back().second)));
    EXPECT_EQ(reports[reports.size() - 2].first, "Processing comu_diz (5) @ 0 secondi al termine");
}

TEST_F(Loader, AnUnfinishedLoadStartsFromItsState) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
    db.chiave1 = "2005-05-05 05:05:05.0000000";  // chiave1 || '0'
    db.stamp = "2099-01-01 00:00:00.000000";     // what the table holds now: not the base
    const std::vector<std::string> lines = {"A,'" + pad + "','2006-01-01 00:00:00.000000'",
                                            "B,'" + pad + "','2005-05-05 05:05:05.000000'"};
    ASSERT_EQ(load(db, "comu_diz", lines, false), "success");
    const Calls s = rec.statements();
    EXPECT_NE(std::find(s.begin(), s.end(),
                        "UPDATE tables SET chiave1='2005-05-05 05:05:05.000000', data_upd=now(), time_last=now() "
                        "WHERE tableid='RUPDF16' AND tabella='upd_comu_diz'"),
              s.end());
    ASSERT_EQ(batches().size(), 1u);
    EXPECT_NE(batches()[0].find("INSERT INTO comu_diz VALUES('A'"), std::string::npos);
    EXPECT_EQ(batches()[0].find("INSERT INTO comu_diz VALUES('B'"), std::string::npos);
}

// ---- special tables ----------------------------------------------------------

std::vector<Column> numbered(const std::string& prefix, int n, std::map<int, std::string> names) {
    std::vector<Column> columns;
    for (int c = 1; c <= n; ++c) {
        auto it = names.find(c);
        columns.push_back({it != names.end() ? it->second : prefix + std::to_string(c), c == 1});
    }
    return columns;
}

// A line of n values: the key, then v2 ... with the stamp at `stamp_col`.
std::vector<std::string> values_line(int n, int stamp_col, std::map<int, std::string> set = {}) {
    std::vector<std::string> v;
    for (int c = 1; c <= n; ++c) v.push_back("v" + std::to_string(c));
    v[0] = "K1";
    v[stamp_col - 1] = "'2011-01-01 00:00:00.000000'";
    for (auto& [c, text] : set) v[c - 1] = text;
    return v;
}

std::string joined(const std::vector<std::string>& v, const char* sep) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) out += (i ? sep : "") + v[i];
    return out;
}

// What the rules put into the UPDATE of an existing row: the line's literals
// with the kept ones in their places.
struct MergeCase {
    const char* name;
    std::string table;
    std::vector<Column> columns;
    std::map<std::string, std::string> answers;  // row queries (WHERE cod='K1')
    std::map<int, std::string> line;             // values of the line, by column number
    std::map<int, std::string> kept;             // expected values of the UPDATE, by column number
    std::vector<std::string> queries;            // the rule's queries, in order
    std::string kind = "";
};

TEST_F(Loader, MergeRulesKeepThePracticesChanges) {
    const std::string w = " WHERE cod='K1' ";
    const auto vac = numbered("c", 11, {{1, "cod"}, {3, "vac_descr"}, {5, "vac_rich"}, {10, "vac_status"}, {11, "data_upd"}});
    const auto acc = numbered("c", 28, {{1, "cod"}, {3, "acc_descr"}, {5, "acc_prn"}, {6, "acc_tipo"}, {7, "acc_norma"},
                                        {8, "acc_costo"}, {9, "acc_status"}, {27, "acc_short"}, {28, "data_upd"}});
    const std::vector<std::string> vac_queries = {"select vac_status FROM tab_vac " + w,
                                                  "select vac_descr FROM tab_vac " + w + " AND vac_descr <> vac_orig",
                                                  "select vac_rich FROM tab_vac " + w};
    const std::vector<std::string> acc_queries = {
        "select acc_short FROM tab_acc " + w,
        "select acc_status FROM tab_acc " + w,
        "select acc_descr FROM tab_acc " + w + " AND acc_descr <> acc_orig",
        "select acc_costo FROM tab_acc " + w + " AND acc_costo <> acc_costo_orig",
        "select acc_tipo FROM tab_acc " + w + " AND acc_tipo <> acc_tipo_orig",
        "select acc_prn FROM tab_acc " + w + " AND acc_prn <> acc_prn_orig",
        "select acc_norma FROM tab_acc " + w + " AND COALESCE(acc_norma,'') <> ''"};
    const MergeCase cases[] = {
        {"vac status O: the line entirely", "tab_vac", vac,
         {{vac_queries[0], "O"}, {vac_queries[1], "mio"}, {vac_queries[2], "4"}}, {}, {}, {vac_queries[0]}},
        {"vac other status keeps status, description, rich unquoted", "tab_vac", vac,
         {{vac_queries[0], "X"}, {vac_queries[1], "l'anca"}, {vac_queries[2], "3"}}, {},
         {{10, "'X'"}, {3, "'l''anca'"}, {5, "3"}}, vac_queries},
        {"vac NULL status written back empty; nothing else kept", "tab_vac", vac, {}, {}, {{10, "''"}}, vac_queries},
        {"vac rich that is no number goes back as a literal", "tab_vac", vac,
         {{vac_queries[0], "X"}, {vac_queries[2], "3 volte"}}, {}, {{10, "'X'"}, {5, "'3 volte'"}}, vac_queries},
        {"acc status O keeps only the short name", "tab_acc", acc,
         {{acc_queries[0], "ECG"}, {acc_queries[1], "O"}, {acc_queries[2], "mio"}}, {}, {{27, "'ECG'"}},
         {acc_queries[0], acc_queries[1]}},
        {"acc other status keeps every changed value", "tab_acc", acc,
         {{acc_queries[1], "A"}, {acc_queries[2], "Visita l'anca"}, {acc_queries[3], "12.5"}, {acc_queries[4], "T"},
          {acc_queries[5], "S"}, {acc_queries[6], "N1"}},
         {{7, ""}},
         {{9, "'A'"}, {3, "'Visita l''anca'"}, {8, "'12.5'"}, {6, "'T'"}, {5, "'S'"}, {7, "'N1'"}}, acc_queries},
        {"acc norma kept only when the line brings none", "tab_acc", acc,
         {{acc_queries[1], "A"}, {acc_queries[6], "N1"}}, {{7, "NULL"}}, {{9, "'A'"}, {7, "'NULL'"}}, acc_queries},
        {"acc norma kept for two quotes", "tab_acc", acc, {{acc_queries[1], "A"}, {acc_queries[6], "N1"}},
         {{7, "''"}}, {{9, "'A'"}, {7, "'N1'"}}, acc_queries},
        {"backslash doubled where the session escapes it", "tab_acc", acc,
         {{acc_queries[1], "A"}, {acc_queries[2], "a\\b"}}, {}, {{9, "'A'"}, {3, "'a\\\\b'"}}, acc_queries,
         "postgresql"},
        {"backslash kept single elsewhere", "tab_acc", acc, {{acc_queries[1], "A"}, {acc_queries[2], "a\\b"}}, {},
         {{9, "'A'"}, {3, "'a\\b'"}}, acc_queries},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLibrary local;
        reports.clear();
        Catalogue db{c.table, c.columns, c.kind};
        db.rows = c.answers;
        db.rows["select '1' FROM " + c.table + w] = "1";
        const int n = static_cast<int>(c.columns.size());
        std::vector<std::string> line = values_line(n, n, c.line);
        // The line's own literals; quoted where riga2array would quote them.
        std::vector<std::string> file_values = line, literals;
        for (const auto& value : line) {
            if (value.empty()) literals.push_back("NULL");
            else literals.push_back(value[0] == '\'' ? value : "'" + value + "'");
        }
        for (auto& [col, text] : c.kept) literals[col - 1] = text;
        local.answer = [&db](const std::string& q) { return db.answer(q); };
        const std::string path =
            write_file("merge.txt", crlf({joined(file_values, ","), "K2," + std::string(200, 'y')}));
        ASSERT_EQ(tn::load_table_data(c.table, path, "", true), "success");

        Calls statements = local.statements();
        Calls rule_queries;
        for (const auto& s : statements)
            if (s.find(" FROM " + c.table + "  WHERE") != std::string::npos) rule_queries.push_back(s);
        EXPECT_EQ(rule_queries, c.queries);
        std::string update = "UPDATE " + c.table + " SET ";
        for (int i = 0; i < n; ++i) update += (i ? "," : "") + c.columns[i].name + "=" + literals[i];
        update += w + ";\r\n";
        Calls all;
        for (const auto& s : statements)
            if (s.find("commit;\r\n") != std::string::npos) all.push_back(s);
        ASSERT_FALSE(all.empty());
        EXPECT_NE(all[0].find(update), std::string::npos) << all[0];
    }
}

TEST_F(Loader, NewCproblRowGetsItsCounterRowsWhileNoErrorIsPending) {
    Catalogue db{"cprobl", {{"cod", true}, {"descr"}, {"frequenza"}}};
    db.stamp = "1440";
    const std::vector<std::string> lines = {"A01,'Diabete " + wide + "',1441", "B02,'Asma',1440", "C03,'Gotta',abc"};
    ASSERT_EQ(load(db, "cprobl", lines, false), "success");
    const Calls s = rec.statements();
    ASSERT_GE(s.size(), 4u);
    EXPECT_EQ(s[2], "SELECT max(frequenza) FROM cprobl ");
    EXPECT_EQ(s[3], "SELECT colno FROM syscolumns where tname = 'cprobl' and cname = 'frequenza'");
    const std::string snapshot =
        "DELETE FROM temp_cartella WHERE istanza = 'GUID-1' AND indice_cartella = '0' AND codice = ";
    ASSERT_EQ(batches().size(), 1u);
    EXPECT_EQ(batches()[0],
              snapshot + "'A01' AND rowid = '1';\r\n" +
                  "DELETE FROM cprobl WHERE cod='A01' ;INSERT INTO cprobl VALUES('A01','Diabete " + wide +
                  "','1441');\r\n" + "DELETE FROM contatori WHERE riga_id='ICD9CM_A01';\r\n" +
                  "INSERT INTO contatori(riga_id,data_upd,contatore) VALUES( 'ICD9CM_A01',NOW(),5);\r\n" + snapshot +
                  "'B02' AND rowid = '1';\r\n" + snapshot + "'C03' AND rowid = '1';\r\n" +
                  // abc is no frequency: taken as the oldest state, not applied
                  "commit;\r\n");
    // The frequency converter's message for abc, shown once for its line.
    ASSERT_EQ(toolkit::headless::dialogs().size(), 1u);
    EXPECT_EQ(toolkit::headless::dialogs()[0].text, "frequenza2dataupd: eccezione ->'abc'<-");
}

TEST_F(Loader, NoCounterRowWhileTheLastErrorIsNotEmpty) {
    Catalogue db{"cprobl", {{"cod", true}, {"descr"}, {"frequenza"}}};
    db.stamp = "";
    rec.errors = {"", "", "old failure"};  // the registry mark's error
    ASSERT_EQ(load(db, "cprobl", {"A01,'Diabete " + wide + "',1441"}, false), "success");
    ASSERT_EQ(batches().size(), 1u);
    EXPECT_EQ(batches()[0].find("contatori"), std::string::npos);
    EXPECT_NE(batches()[0].find("INSERT INTO cprobl VALUES('A01'"), std::string::npos);
}

TEST_F(Loader, MirrorsFillAndTrimTheSideTables) {
    struct Case {
        const char* name;
        Catalogue db;
        std::vector<std::string> lines;
        std::string batch_part;      // the side table's statements, in the batch
        std::string query;           // its existence query
        std::string final_deletion;  // after the vanished rows
    };
    const Case cases[] = {
        {"notessn update",
         {"mn_v_tbl_note_prescrizione", {{"id", true}, {"c2"}, {"c3"}, {"descr"}, {"conf"}, {"num"}, {"data_upd"}, {"extra"}}},
         {"N1,x,y,'Nota 1','S',3,'2011-01-01 00:00:00.000000'," + wide},
         "UPDATE notessn  SET descr = 'Nota 1', conferma = 'S', num_orig = '3' WHERE ID = 'N1';\r\n",
         "select '1' FROM notessn WHERE ID = 'N1'",
         "DELETE FROM notessn WHERE EXISTS( SELECT 1 FROM temp_cartella t  WHERE t.istanza = 'GUID-1' AND "
         "t.indice_cartella = '0' AND t.codice = notessn.ID AND t.rowid='1')"},
        {"notessn insert",
         {"mn_v_tbl_note_prescrizione", {{"id", true}, {"c2"}, {"c3"}, {"descr"}, {"conf"}, {"num"}, {"data_upd"}, {"extra"}}},
         {"N2,x,y,'Nota 2',,(NULL),'2011-01-01 00:00:00.000000'," + wide},
         "INSERT INTO  notessn ( id, descr, conferma, num_orig ) VALUES('N2','Nota 2',NULL,NULL);\r\n",
         "select '1' FROM notessn WHERE ID = 'N2'", ""},
        {"tab_atc insert",
         {"mn_v_tbl_generica", {{"tipo", true}, {"cod", true}, {"descr"}, {"data_upd"}}},
         {"'ATC','B01AC','Antiaggreganti " + wide + "','2011-01-01 00:00:00.000000'"},
         "INSERT INTO tab_atc( atc_cod, atc_des ) VALUES('B01AC','Antiaggreganti " + wide + "');\r\n",
         "select '1' FROM tab_atc WHERE atc_cod = 'B01AC'",
         "DELETE FROM tab_atc WHERE EXISTS( SELECT 1 FROM temp_cartella t  WHERE t.istanza = 'GUID-1' AND "
         "t.indice_cartella = '0' AND t.codice = 'ATC' AND t.rowid = tab_atc.atc_cod)"},
        {"tab_atc update",
         {"mn_v_tbl_generica", {{"tipo", true}, {"cod", true}, {"descr"}, {"data_upd"}}},
         {"ATC,A10,'Antidiabetici " + wide + "','2011-01-01 00:00:00.000000'"},
         "UPDATE tab_atc SET atc_des = 'Antidiabetici " + wide + "' WHERE atc_cod = 'A10';\r\n",
         "select '1' FROM tab_atc WHERE atc_cod = 'A10'", ""},
        {"other record types leave tab_atc alone",
         {"mn_v_tbl_generica", {{"tipo", true}, {"cod", true}, {"descr"}, {"data_upd"}}},
         {"'ATX','B01AC','Altro " + wide + "','2011-01-01 00:00:00.000000'"}, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLibrary local;
        Catalogue db = c.db;
        db.rows["select '1' FROM notessn WHERE ID = 'N1'"] = "1";
        db.rows["select '1' FROM tab_atc WHERE atc_cod = 'A10'"] = "1";
        local.answer = [&db](const std::string& q) { return db.answer(q); };
        ASSERT_EQ(tn::load_table_data(db.table, write_file("mirror.txt", crlf(c.lines)), "", false), "success");
        const Calls s = local.statements();
        std::string batch;
        for (const auto& t : s)
            if (t.find("commit;\r\n") != std::string::npos) batch += t;
        const auto has = [&s](const std::string& t) { return std::find(s.begin(), s.end(), t) != s.end(); };
        if (c.batch_part.empty()) {
            EXPECT_EQ(batch.find("tab_atc"), std::string::npos);
        } else {
            // After the line's own statements, before the commit.
            EXPECT_NE(batch.find(");\r\n" + c.batch_part + "commit;\r\n"), std::string::npos) << batch;
            EXPECT_TRUE(has(c.query));
        }
        if (!c.final_deletion.empty()) {
            const auto at = std::find(s.begin(), s.end(), c.final_deletion);
            ASSERT_NE(at, s.end());
            EXPECT_EQ(*(at + 1), "commit");
            EXPECT_EQ((at + 2)->rfind("DELETE FROM temp_cartella WHERE istanza = 'GUID-1'", 0), 0u);
            EXPECT_EQ((at - 1)->rfind("commit", 0), 0u);
        }
    }
}

// ---- pause, abandon, errors --------------------------------------------------

std::vector<std::string> many_lines(int n) {
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i)
        lines.push_back("K" + std::to_string(i) + ",'riga " + std::to_string(i) + " " + pad + "','2011-01-01 00:00:00.000000'");
    return lines;
}

TEST_F(Loader, AbandonStopsAfterTheLineAndKeepsTheRegistryRowUnderWay) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
    on_report = [](const std::string& text) {
        if (text.rfind("Processing comu_diz (2)", 0) == 0) panel::abort_requested = true;
    };
    ASSERT_EQ(load(db, "comu_diz", many_lines(5), false), "abort");
    ASSERT_EQ(batches().size(), 1u);
    EXPECT_NE(batches()[0].find("VALUES('K1'"), std::string::npos);
    EXPECT_EQ(batches()[0].find("'K2'"), std::string::npos);
    const Calls s = rec.statements();
    for (const auto& t : s) {
        EXPECT_EQ(t.find("DELETE FROM comu_diz WHERE EXISTS"), std::string::npos);
        EXPECT_EQ(t.find("chiave1=''"), std::string::npos);
    }
    EXPECT_EQ(rec.calls.back(), "destroy");
}

TEST_F(Loader, AbandonBeforeTheLinesSkipsTheSnapshotAndTheMark) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
    rec.on_exec = [](const std::string& s) {
        if (s == "DELETE FROM temp_cartella WHERE istanza = 'GUID-1'") panel::abort_requested = true;
    };
    ASSERT_EQ(load(db, "comu_diz", many_lines(5), false), "abort");
    const Calls expected_tail = {"exec: DELETE FROM temp_cartella WHERE istanza = 'GUID-1'", "last_error",
                                 "exec: commit", "exec: commit;\r\n", "last_error", "destroy"};
    ASSERT_GE(rec.calls.size(), expected_tail.size());
    EXPECT_EQ(Calls(rec.calls.end() - 6, rec.calls.end()), expected_tail);
}

TEST_F(Loader, PauseWaitsUntilResumedThenGoesOn) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
    on_report = [](const std::string& text) {
        if (text.rfind("Processing comu_diz (1)", 0) == 0) panel::paused = true;
    };
    int rounds = 0;
    toolkit::headless::on_process_messages() = [&rounds] {
        if (++rounds == 3) panel::paused = false;  // the person presses "Riprendi"
    };
    ASSERT_EQ(load(db, "comu_diz", many_lines(3), false), "success");
    EXPECT_EQ(rounds, 3);
    // Three waits right after the first line's report; nothing of the second line before them.
    Calls waits;
    std::size_t first_wait = 0;
    for (std::size_t i = 0; i < rec.calls.size(); ++i)
        if (rec.calls[i].rfind("AspettaEvento", 0) == 0) {
            if (waits.empty()) first_wait = i;
            waits.push_back(rec.calls[i]);
        }
    EXPECT_EQ(waits, Calls(3, "AspettaEvento: LoadTable 500"));
    EXPECT_EQ(rec.calls[first_wait - 1], "last_error");
    EXPECT_EQ(rec.calls[first_wait - 2], "into: select '1' FROM comu_diz WHERE cod='K0' ");
    EXPECT_EQ(rec.calls[first_wait + 3], "into: select '1' FROM comu_diz WHERE cod='K1' ");
}

TEST_F(Loader, TwoHundredLinesExecuteThreeBatches) {
    Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
    ASSERT_EQ(load(db, "comu_diz", many_lines(200), false), "success");
    const Calls b = batches();
    ASSERT_EQ(b.size(), 3u);
    EXPECT_NE(b[0].find("VALUES('K99'"), std::string::npos);
    EXPECT_EQ(b[0].find("VALUES('K100'"), std::string::npos);
    EXPECT_NE(b[1].find("VALUES('K199'"), std::string::npos);
    EXPECT_EQ(b[2], "commit;\r\n");
}

TEST_F(Loader, SqlErrorsAreShownOncePerLoad) {
    struct Case {
        const char* name;
        std::deque<std::string> errors;  // mark, snapshot x2, line 1, line 2, batch
        std::string shown;
    };
    const std::string insert1 = "INSERT INTO comu_diz VALUES('K0','riga 0 " + pad + "','2011-01-01 00:00:00.000000')";
    const Case cases[] = {
        {"a line's error, then no more", {"", "", "", "bad value", "again", "batch too"},
         "bad value\r\n\r\n" + insert1},
        {"a batch's error", {"", "", "", "", "", "INSERT INTO comu_diz ... rejected"},
         "INSERT INTO comu_diz ... rejected"},
        {"errors before the lines are not shown", {"snapshot failed", "", "mark failed"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLibrary local;
        local.errors = c.errors;
        Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
        local.answer = [&db](const std::string& q) { return db.answer(q); };
        std::vector<std::string> lines = many_lines(2);
        lines.push_back(pad + pad);
        ASSERT_EQ(tn::load_table_data("comu_diz", write_file("errors.txt", crlf(lines)), "", false), "success");
        const auto& dialogs = toolkit::headless::dialogs();
        if (c.shown.empty()) {
            EXPECT_TRUE(dialogs.empty());
        } else {
            ASSERT_EQ(dialogs.size(), 1u);
            EXPECT_EQ(dialogs[0].kind, DialogKind::message_box);
            EXPECT_EQ(dialogs[0].text, c.shown);
            EXPECT_EQ(dialogs[0].caption, "Errore SQL");
            EXPECT_EQ(dialogs[0].type, 0u);
        }
    }
}

TEST_F(Loader, FailuresGiveErrorAndReleaseEverything) {
    struct Case {
        const char* name;
        std::function<void(RecordingLibrary&, Catalogue&)> setup;
        std::string table = "comu_diz";
        std::string file = "long";  // "long", "short", "missing", ""
        std::string result = "error";
        std::vector<Dialog> dialogs = {};
        bool connected = false;
    };
    const auto error = [](const char* text) { return Dialog{DialogKind::error, text, "", nullptr, 0}; };
    const auto message = [](std::string text) { return Dialog{DialogKind::message, std::move(text), "", nullptr, 0}; };
    const std::string missing_path = testing_support::temp_path("no_such_file.txt");
    const Case cases[] = {
        {"empty table name", {}, "", "long"},
        {"empty file path", {}, "comu_diz", ""},
        {"short file: nothing to do", {}, "comu_diz", "short", "success"},
        {"missing file", {}, "comu_diz", "missing", "error",
         {message("Impossibile aprire il file " + missing_path + ": No such file or directory")}},
        {"both libraries missing",
         [](RecordingLibrary& r, Catalogue&) { r.vorovuro_missing = r.velt_missing = true; }, "comu_diz", "long",
         "error",
         {error("Impossibile caricare la libreria vorovuro.dll(3)"),
          error("Impossibile caricare la libreria velt32w0.dll(3)")}},
        {"auxiliary library missing", [](RecordingLibrary& r, Catalogue&) { r.velt_missing = true; }, "comu_diz",
         "long", "error", {error("Impossibile caricare la libreria velt32w0.dll(3)")}},
        {"a function missing",
         [](RecordingLibrary& r, Catalogue&) { r.missing_functions = {"AspettaEvento"}; }, "comu_diz", "long",
         "error", {error("Impossibile creare default data connection")}},
        {"no connection", [](RecordingLibrary& r, Catalogue&) { r.handle = 0; }, "comu_diz", "long", "error",
         {error("Creazione default data Connection non riuscita")}},
        {"no stamp column", [](RecordingLibrary&, Catalogue& db) { db.columns[2].name = "altro"; }, "comu_diz",
         "long", "error", {message("'' is not a valid integer value")}, true},
        {"a table too narrow for its rules",
         [](RecordingLibrary&, Catalogue& db) { db.table = "tab_acc"; }, "tab_acc", "long", "error",
         {message("Struttura della tabella tab_acc non adatta all'aggiornamento")}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLibrary local;
        Catalogue db{"comu_diz", {{"cod", true}, {"descr"}, {"data_upd"}}};
        if (c.setup) c.setup(local, db);
        local.install();
        local.answer = [&db](const std::string& q) { return db.answer(q); };
        std::string path;
        if (c.file == "long") path = write_file("fail.txt", crlf(many_lines(5)));
        if (c.file == "short") path = write_file("short.txt", crlf(many_lines(1)));
        if (c.file == "missing") path = missing_path;
        EXPECT_EQ(tn::load_table_data(c.table, path, "", false), c.result);
        EXPECT_EQ(toolkit::headless::dialogs(), c.dialogs);
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
        EXPECT_EQ(toolkit::headless::busy_depth(), 0);
        if (c.connected) {
            EXPECT_EQ(local.calls.back(), "destroy");
            for (const auto& s : local.statements()) EXPECT_EQ(s.find("UPDATE tables"), std::string::npos) << s;
        } else {
            EXPECT_TRUE(local.statements().empty());
        }
    }
}

// ---- the pieces ----------------------------------------------------------------

TEST(DataFile, SplitsAtLineFeedsWithAnOptionalCarriageReturn) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"a\rb\r\n", {"a\rb"}},
        {"a\r\r\n", {"a\r"}},
        {"tail\r", {"tail\r"}},
        {std::string("n\0l\n", 4), {std::string("n\0l", 3)}},
    };
    for (const auto& [bytes, lines] : cases) {
        tn::DataFile file;
        std::string failure;
        ASSERT_TRUE(file.open(write_file("split.txt", bytes), failure));
        EXPECT_EQ(file.size(), bytes.size());
        std::vector<std::string> got;
        std::string_view line;
        while (file.next_line(line)) got.emplace_back(line);
        EXPECT_EQ(got, lines) << bytes;
    }
}

TEST(DataFile, LinesAcrossAndBeyondTheReadBlock) {
    // One line longer than the block, then lines that straddle block edges.
    const std::string long_line(3u << 20, 'L');
    std::string bytes = long_line + "\r\n";
    std::vector<std::string> lines = {long_line};
    for (int i = 0; bytes.size() < (5u << 20); ++i) {
        lines.push_back("riga " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), 'z'));
        bytes += lines.back() + "\r\n";
    }
    tn::DataFile file;
    std::string failure;
    ASSERT_TRUE(file.open(write_file("blocks.txt", bytes), failure));
    tn::LineCounters counters;
    std::string_view line;
    std::size_t i = 0;
    while (tn::read_counted_line(file, counters, line)) {
        ASSERT_LT(i, lines.size());
        ASSERT_EQ(line, lines[i]) << i;
        ++i;
    }
    EXPECT_EQ(i, lines.size());
    EXPECT_EQ(counters.bytes_read, bytes.size());
}

TEST(CatalogueInteger, AcceptsDecimalIntegersOnly) {
    const std::pair<const char*, int> good[] = {{"1", 1}, {"27", 27}, {"-3", -3}, {"+4", 4}, {"  12", 12},
                                                {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}};
    for (const auto& [text, value] : good) EXPECT_EQ(tn::catalogue_integer(text), value) << text;
    for (const char* bad : {"", " ", "x", "1x", "12 ", "1.0", "2147483648", "-", "99999999999999999999"}) {
        try {
            tn::catalogue_integer(bad);
            ADD_FAILURE() << bad;
        } catch (const std::exception& failure) {
            EXPECT_EQ(failure.what(), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(ReadBackLiteral, QuotesDoubledBackslashesOnlyWhereEscaped) {
    struct Case {
        std::string value;
        bool escapes;
        std::string literal;
    };
    const Case cases[] = {
        {"", false, "''"},
        {"l'anca", false, "'l''anca'"},
        {"''", false, "''''''"},
        {"C:\\dati", false, "'C:\\dati'"},
        {"C:\\dati", true, "'C:\\\\dati'"},
        {"caff\xE8", false, "'caff\xE8'"},
    };
    for (const auto& c : cases) EXPECT_EQ(tn::read_back_literal(c.value, c.escapes), c.literal) << c.value;
}

}  // namespace
