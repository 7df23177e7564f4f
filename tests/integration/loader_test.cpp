// Table loads on a real practice database, both kinds: what a load does to
// the rows, the registry row and the side tables, how it keeps the
// practice's own changes, and how an abandoned load is taken up again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "plugin/panel.h"
#include "plugin/panel_headless.h"
#include "practice_db.h"
#include "toolkit/headless/headless.h"

namespace {

using practice::call_export;
using practice::PracticeTest;
using practice::Row;
using practice::Rows;
using toolkit::headless::DialogKind;
using Texts = std::vector<std::string>;

const std::string filler(120, '-');

class TableLoad : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        toolkit::headless::reset();
        panel::progress_hook() = [this](const std::string& text, std::uint32_t) {
            if (on_report) on_report(text);
        };
    }
    void TearDown() override {
        panel::progress_hook() = nullptr;
        EXPECT_EQ(toolkit::headless::busy_depth(), 0);
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
    }

    // CR LF lines in a file of the working directory.
    std::string data_file(const Texts& lines) {
        const auto path = std::filesystem::current_path() / "aggiornamento.txt";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const auto& line : lines) out << line << "\r\n";
        return path.string();
    }

    std::string load(const std::string& table, const Texts& lines, bool force, const std::string& filter = "") {
        const std::string file = data_file(lines);
        const std::string flag = force ? "1" : "0";
        const auto pushed = filter.empty() ? call_export(exec_load_table, {table, file, flag})
                                           : call_export(exec_load_table_where, {table, file, filter, flag});
        return pushed.size() == 1 ? pushed[0] : "pushed " + std::to_string(pushed.size()) + " results";
    }

    // What the installer reads back as the table's update state.
    std::string state_of(const std::string& table) { return call_export(exec_get_data_upd, {table, ""}).at(0); }

    practice::Value chiave1(const std::string& table) {
        return db.value("SELECT chiave1 FROM tables WHERE tabella='upd_" + table + "'");
    }

    std::function<void(const std::string&)> on_report;
};

// ---- an ordinary table with a one-column key -----------------------------------

const char* const comu_columns = "comu_cod, comu_descr, comu_prov, comu_cap, \"default\"";

void seed_comuni(practice::PracticeDb& db) {
    db.exec("INSERT INTO comu_diz VALUES ('001', 'Roma', 'RM', '00100', 'S', '2010-01-01 00:00:00')");
    db.exec("INSERT INTO comu_diz VALUES ('002', 'Milano', 'MI', '20100', 'N', '2012-06-01 00:00:00')");
    db.exec("INSERT INTO comu_diz VALUES ('003', 'Napoli', 'NA', '80100', 'N', '2011-01-01 00:00:00')");
    db.exec("INSERT INTO comu_diz VALUES ('005', 'Torino', 'TO', '10100', 'N', '2011-01-01 00:00:00')");
}

TEST_F(TableLoad, ForcedAndUnforcedLoads) {
    const Texts lines = {
        // Stamp equal to the base state (the table's newest): applied only by force, never deleted.
        "001,'Roma Capitale','RM','00118',S,'2012-06-01 00:00:00.000000'",
        "002,'Milano, citt\xE0','MI','20121',(NULL),'2013-01-01 00:00:00.000000'",
        "",
        "003,'Napoli','NA','80100','N'",  // one value short: skipped, and its row goes
        "004,'Sant''Angelo Lodigiano','LO','26866',,'2013-02-01 00:00:00.000000'",
        "005,'Torino','TO','10121','N',(NULL)",  // the stamp NULL: newer than anything
        "'" + filler + "'",
    };
    struct Case {
        bool force;
        Rows expected;
    };
    const Case cases[] = {
        {false,
         {{"001", "Roma", "RM", "00100", "S"},
          {"002", "Milano, citt\xE0", "MI", "20121", std::nullopt},
          {"004", "Sant'Angelo Lodigiano", "LO", "26866", std::nullopt},
          {"005", "Torino", "TO", "10121", "N"}}},
        {true,
         {{"001", "Roma Capitale", "RM", "00118", "S"},
          {"002", "Milano, citt\xE0", "MI", "20121", std::nullopt},
          {"004", "Sant'Angelo Lodigiano", "LO", "26866", std::nullopt},
          {"005", "Torino", "TO", "10121", "N"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.force ? "forced" : "unforced");
        db.exec("DELETE FROM comu_diz");
        db.exec("DELETE FROM tables");
        seed_comuni(db);
        EXPECT_EQ(load("comu_diz", lines, c.force), "success");
        EXPECT_EQ(db.rows(std::string("SELECT ") + comu_columns + " FROM comu_diz ORDER BY comu_cod"), c.expected);
        // The accented letter is the one Windows-1252 byte it was in the file.
        EXPECT_EQ(db.value("SELECT " + db.hex_of("comu_descr") + " FROM comu_diz WHERE comu_cod='002'"),
                  "4D696C616E6F2C2063697474E0");
        EXPECT_EQ(chiave1("comu_diz"), "");
        EXPECT_EQ(db.value("SELECT tableid FROM tables WHERE tabella='upd_comu_diz'"), "RUPDF16");
        EXPECT_EQ(db.value("SELECT COUNT(*) FROM temp_cartella"), "0");
        EXPECT_EQ(state_of("comu_diz"), "2013-02-01 00:00:00.000000");
        EXPECT_TRUE(toolkit::headless::dialogs().empty());
    }
}

// ---- two-column key and a filter ---------------------------------------------------

TEST_F(TableLoad, VanishedRowsAreDeletedOnlyWithinTheFilter) {
    db.exec("INSERT INTO lnk_acc VALUES ('G1', 'A1', 1, 'uno', '2010-01-01 00:00:00')");
    db.exec("INSERT INTO lnk_acc VALUES ('G1', 'A2', 2, 'due', '2010-01-01 00:00:00')");
    db.exec("INSERT INTO lnk_acc VALUES ('G2', 'A1', 1, 'altro gruppo', '2010-01-01 00:00:00')");
    const Texts lines = {
        "G1,A1,1,'uno rivisto','2011-01-01 00:00:00.000000'",
        "G2,A9,9,'fuori dal filtro, ma nuovo','2011-01-01 00:00:00.000000'",
        "'" + filler + "'",
    };
    EXPECT_EQ(load("lnk_acc", lines, false, "WHERE lnk_gru = 'G1'"), "success");
    EXPECT_EQ(db.rows("SELECT lnk_gru, lnk_acc, lnk_note FROM lnk_acc ORDER BY lnk_gru, lnk_acc"),
              (Rows{{"G1", "A1", "uno rivisto"}, {"G2", "A1", "altro gruppo"}, {"G2", "A9", "fuori dal filtro, ma nuovo"}}));
    EXPECT_EQ(chiave1("lnk_acc"), "");
}

// ---- batches, abandon and resume ---------------------------------------------------

Texts comuni(int n, const std::string& descr, const std::string& stamp) {
    Texts lines;
    for (int i = 0; i < n; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%04d", i);
        lines.push_back(std::string(code) + ",'" + descr + " " + code + "','XX','00000','N','" + stamp + "'");
    }
    return lines;
}

TEST_F(TableLoad, TwoHundredLinesReachTheDatabaseInBatchesOfOneHundred) {
    std::map<int, std::string> seen;  // rows in the table when the line's report comes
    on_report = [&](const std::string& text) {
        for (int line : {99, 100, 199, 200})
            if (text.rfind("Processing comu_diz (" + std::to_string(line) + ")", 0) == 0)
                seen[line] = db.value("SELECT COUNT(*) FROM comu_diz").value_or("?");
    };
    EXPECT_EQ(load("comu_diz", comuni(200, "Comune", "2011-01-01 00:00:00.000000"), false), "success");
    EXPECT_EQ(seen, (std::map<int, std::string>{{99, "0"}, {100, "100"}, {199, "100"}, {200, "200"}}));
}

TEST_F(TableLoad, AnAbandonedLoadIsTakenUpAgain) {
    seed_comuni(db);  // newest stamp 2012-06-01: the base state
    const std::string base = "2012-06-01 00:00:00.000000";
    const Texts lines = comuni(250, "Nuovo", "2013-01-01 00:00:00.000000");
    on_report = [](const std::string& text) {
        if (text.rfind("Processing comu_diz (150)", 0) == 0) panel::abort_requested = true;
    };
    EXPECT_EQ(load("comu_diz", lines, false), "abort");
    // Everything gathered before the abandon was committed; nothing was deleted.
    EXPECT_EQ(db.value("SELECT COUNT(*) FROM comu_diz WHERE comu_descr LIKE 'Nuovo%'"), "150");
    EXPECT_EQ(db.value("SELECT COUNT(*) FROM comu_diz WHERE comu_cod IN ('001','002','003','005')"), "4");
    EXPECT_EQ(chiave1("comu_diz"), base);
    EXPECT_EQ(state_of("comu_diz"), base);

    on_report = nullptr;
    EXPECT_EQ(load("comu_diz", lines, false), "success");
    Rows expected;
    for (int i = 0; i < 250; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%04d", i);
        expected.push_back({code, "Nuovo " + std::string(code), "XX", "00000", "N"});
    }
    EXPECT_EQ(db.rows(std::string("SELECT ") + comu_columns + " FROM comu_diz ORDER BY comu_cod"), expected);
    EXPECT_EQ(chiave1("comu_diz"), "");
    EXPECT_EQ(state_of("comu_diz"), "2013-01-01 00:00:00.000000");
}

TEST_F(TableLoad, RejectedLinesAreShownOnceAndTheRestIsLoaded) {
    const Texts lines = {
        ",'senza codice','XX','00000','N','2013-01-01 00:00:00.000000'",  // NULL key: NOT NULL refuses it
        ",'senza codice anche','XX','00000','N','2013-01-01 00:00:00.000000'",
        "010,'buono','XX','00000','N','2013-01-01 00:00:00.000000'",
        "'" + filler + "'",
    };
    EXPECT_EQ(load("comu_diz", lines, false), "success");
    const auto& dialogs = toolkit::headless::dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].kind, DialogKind::message_box);
    EXPECT_EQ(dialogs[0].caption, "Errore SQL");
    EXPECT_FALSE(dialogs[0].text.empty());
    EXPECT_EQ(db.rows("SELECT comu_cod, comu_descr FROM comu_diz"), (Rows{{"010", "buono"}}));
}

// ---- special tables ---------------------------------------------------------------

// A tab_acc line: 27 values by column number, the ones given replacing the
// defaults.
std::string acc_line(const std::string& rowid, std::map<int, std::string> values) {
    std::vector<std::string> v(27, "");
    v[0] = rowid;
    v[1] = "'C" + rowid + "'";
    v[2] = "'Esame " + rowid + "'";
    v[4] = "S";
    v[5] = "'LAB'";
    v[7] = "10";
    v[8] = "A";
    v[9] = "'Esame " + rowid + "'";
    v[10] = "10";
    v[11] = "'LAB'";
    v[12] = "S";
    v[25] = "'2013-01-01 00:00:00.000000'";
    v[26] = "'E" + rowid + "'";
    for (auto& [col, text] : values) v[col - 1] = text;
    std::string line;
    for (std::size_t i = 0; i < v.size(); ++i) line += (i ? "," : "") + v[i];
    return line;
}

TEST_F(TableLoad, TheExamCatalogueKeepsThePracticesChanges) {
    const char* insert =
        "INSERT INTO tab_acc (rowid, acc_cod, acc_descr, acc_prn, acc_tipo, acc_norma, acc_costo, acc_status, acc_orig, "
        "acc_costo_orig, acc_tipo_orig, acc_prn_orig, data_upd, acc_short) VALUES ";
    // R1: changed by the practice (status A); R2: left to the updates (O); R3: no status.
    db.exec(std::string(insert) +
            "('R1', 'C1', 'Visita dell''anca', 'N', 'AMB', 'N.1', 25, 'A', 'Visita anca', 10, 'LAB', 'S', "
            "'2010-01-01 00:00:00', 'ANCA')");
    db.exec(std::string(insert) +
            "('R2', 'C2', 'Mia descrizione', 'N', 'AMB', 'N.2', 25, 'O', 'Esame R2', 10, 'LAB', 'S', "
            "'2010-01-01 00:00:00', 'MIO')");
    db.exec(std::string(insert) +
            "('R3', 'C3', 'Esame R3', 'S', 'LAB', NULL, 10, NULL, 'Esame R3', 10, 'LAB', 'S', "
            "'2010-01-01 00:00:00', NULL)");
    const Texts lines = {
        acc_line("R1", {{3, "'Visita dell''anca destra'"}, {10, "'Visita dell''anca destra'"}}),
        acc_line("R2", {{7, "'N.9'"}}),
        acc_line("R3", {}),
        acc_line("R4", {{3, "'Elettrocardiogramma, a riposo'"}}),
    };
    EXPECT_EQ(load("acc_catalogo", lines, false), "success");
    EXPECT_EQ(db.rows("SELECT rowid, acc_descr, acc_prn, acc_tipo, acc_norma, CAST(acc_costo * 100 AS integer), "
                      "acc_status, acc_orig, acc_short FROM tab_acc ORDER BY rowid"),
              (Rows{{"R1", "Visita dell'anca", "N", "AMB", "N.1", "2500", "A", "Visita dell'anca destra", "ANCA"},
                    {"R2", "Esame R2", "S", "LAB", "N.9", "1000", "A", "Esame R2", "MIO"},
                    {"R3", "Esame R3", "S", "LAB", std::nullopt, "1000", "", "Esame R3", "ER3"},
                    {"R4", "Elettrocardiogramma, a riposo", "S", "LAB", std::nullopt, "1000", "A", "Esame R4",
                     "ER4"}}));
    // The catalogue's registry row is that of acc_catalogo.
    EXPECT_EQ(db.rows("SELECT tableid, tabella, descrizione, chiave1 FROM tables"),
              (Rows{{"RUPDF20", "upd_acc_catalogo", "Update tab_acc", ""}}));
}

TEST_F(TableLoad, TheVaccinesKeepStatusDescriptionAndRecalls) {
    db.exec("INSERT INTO tab_vac VALUES ('V1', 'G', 'Antitetanica (mia)', 'T', 3, 1, 0, NULL, '2010-01-01 00:00:00', "
            "'A', 'Antitetanica')");
    db.exec("INSERT INTO tab_vac VALUES ('V2', 'G', 'Mia', 'T', 3, 1, 0, NULL, '2010-01-01 00:00:00', 'O', 'Orig')");
    const Texts lines = {
        "V1,G,'Antitetanica nuova','T',5,2,30,'nota, con virgola','2013-01-01 00:00:00.000000','O','Antitetanica nuova'",
        "V2,G,'Antipolio','T',4,2,30,,'2013-01-01 00:00:00.000000','O','Antipolio'",
    };
    EXPECT_EQ(load("tab_vac", lines, true), "success");
    EXPECT_EQ(db.rows("SELECT vac_cod, vac_descr, vac_rich, vac_dosi, vac_note, vac_status, vac_orig FROM tab_vac "
                      "ORDER BY vac_cod"),
              (Rows{{"V1", "Antitetanica (mia)", "3", "2", "nota, con virgola", "A", "Antitetanica nuova"},
                    {"V2", "Antipolio", "4", "2", std::nullopt, "O", "Antipolio"}}));
}

TEST_F(TableLoad, NewProblemCodesGetTheirCounterRows) {
    db.exec("INSERT INTO cprobl VALUES ('001.0', 'Colera', '01', 1000)");
    const Texts lines = {
        "001.0,'Colera (rivisto)','01',1000",  // not newer than the base: unchanged
        "250.00,'Diabete mellito, senza complicanze','03',2000",
        "'" + filler + "'",
    };
    EXPECT_EQ(load("cprobl", lines, false), "success");
    EXPECT_EQ(db.rows("SELECT cpr_cod, cpr_descr, frequenza FROM cprobl ORDER BY cpr_cod"),
              (Rows{{"001.0", "Colera", "1000"}, {"250.00", "Diabete mellito, senza complicanze", "2000"}}));
    EXPECT_EQ(db.rows("SELECT riga_id, contatore FROM contatori"), (Rows{{"ICD9CM_250.00", "5"}}));
    EXPECT_EQ(state_of("cprobl"), "2000-01-02 09:20:00.000000");
}

TEST_F(TableLoad, NotesAndAtcCodesAreMirroredAndTrimmed) {
    db.exec("INSERT INTO notessn VALUES ('13', 'vecchia', 'N', '1')");
    db.exec("INSERT INTO notessn VALUES ('99', 'sparita', 'N', '9')");
    db.exec("INSERT INTO mn_v_tbl_note_prescrizione VALUES ('99', 'T', 'x', 'sparita', 'N', '9', '2010-01-01 00:00:00')");
    db.exec("INSERT INTO tab_atc VALUES ('Z99', 'sparito')");
    db.exec("INSERT INTO tab_atc VALUES ('K01', 'non da questa tabella')");
    db.exec("INSERT INTO mn_v_tbl_generica VALUES ('ATC', 'Z99', 'sparito', '2010-01-01 00:00:00')");
    const Texts notes = {
        "13,'T','Nota 13','Ipolipemizzanti: statine, fibrati','S','13','2013-01-01 00:00:00.000000'",
        "1,'T','Nota 1','Gastroprotettori','N',,'2013-01-01 00:00:00.000000'",
    };
    EXPECT_EQ(load("mn_v_tbl_note_prescrizione", notes, false), "success");
    EXPECT_EQ(db.rows("SELECT ID, descr, conferma, num_orig FROM notessn ORDER BY ID"),
              (Rows{{"1", "Gastroprotettori", "N", std::nullopt}, {"13", "Ipolipemizzanti: statine, fibrati", "S", "13"}}));

    const Texts generic = {
        "ATC,B01AC,'Antiaggreganti piastrinici, esclusa eparina','2013-01-01 00:00:00.000000'",
        "UM,MG,'milligrammi','2013-01-01 00:00:00.000000'",
        "'" + filler + "'",
    };
    EXPECT_EQ(load("mn_v_tbl_generica", generic, false), "success");
    EXPECT_EQ(db.rows("SELECT atc_cod, atc_des FROM tab_atc ORDER BY atc_cod"),
              (Rows{{"B01AC", "Antiaggreganti piastrinici, esclusa eparina"}, {"K01", "non da questa tabella"}}));
}

}  // namespace
