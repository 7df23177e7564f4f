// Synonym loads on a real exam catalogue: what the clean-up removes, the rows
// that a load writes, and what the next load does with them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "plugin/panel.h"
#include "plugin/panel_headless.h"
#include "practice_db.h"
#include "toolkit/headless/headless.h"

namespace {

using practice::call_export;
using practice::DbKind;
using practice::PracticeTest;
using practice::Row;
using practice::Rows;
using toolkit::headless::DialogKind;
using Texts = std::vector<std::string>;

// Eight columns, in this order: the loader reads them from syscolumns, so a
// complete new row in a data file has 4 + 8 fields.
const char* const catalogue_columns = "rowid, acc_cod, acc_descr, acc_status, acc_short, acc_orig, acc_prn, acc_costo";

class SynonymLoad : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        // The catalogue of this test, whatever the sample schema holds.
        db.exec(db.kind() == DbKind::postgresql ? "DROP TABLE IF EXISTS tab_acc CASCADE"
                                                : "DROP TABLE IF EXISTS tab_acc");
        db.exec("CREATE TABLE tab_acc (rowid varchar(40) NOT NULL PRIMARY KEY, acc_cod varchar(10), "
                "acc_descr varchar(120), acc_status char(1), acc_short varchar(10), acc_orig varchar(120), "
                "acc_prn char(1), acc_costo integer)");
        db.exec("INSERT INTO tab_acc VALUES ('R001', 'EMO', 'Emocromo', 'A', 'EMO', 'Emocromo orig', 'S', 12)");
        db.exec("INSERT INTO tab_acc VALUES ('R002', 'GLI', 'Glicemia', 'A', 'GLI', NULL, 'S', 5)");
        toolkit::headless::reset();
        panel::progress_hook() = [this](const std::string& text, std::uint32_t) { statuses.push_back(text); };
    }
    void TearDown() override { panel::progress_hook() = nullptr; }

    // A data file of CR LF lines, padded with a line that writes nothing so
    // that it passes the 128 bytes below which a load does nothing.
    std::string data_file(const Texts& lines) {
        const auto path = std::filesystem::current_path() / "sinonimi.txt";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const auto& line : lines) out << line << "\r\n";
        out << "0,'pad','" << std::string(120, '-') << "'\r\n";
        return path.string();
    }

    std::string load(const std::string& set_code, const Texts& lines) {
        const auto pushed = call_export(exec_load_sinonimi, {set_code, data_file(lines), "1"});
        return pushed.size() == 1 ? pushed[0] : "pushed " + std::to_string(pushed.size()) + " results";
    }

    Rows catalogue() { return db.rows(std::string("SELECT ") + catalogue_columns + " FROM tab_acc ORDER BY rowid"); }

    Texts statuses;
};

Row row(std::initializer_list<const char*> values) {
    Row r;
    for (const char* v : values) r.push_back(v ? practice::Value(v) : std::nullopt);
    return r;
}

TEST_F(SynonymLoad, CopiesTheCatalogueRowUnderItsSetAndKey) {
    EXPECT_EQ(load("A", {"7,'R001','Emocromo completo',x", "8,'R002','Glicemia',x"}), "success");
    EXPECT_EQ(catalogue(), (Rows{
                               row({"R001", "EMO", "Emocromo", "A", "EMO", "Emocromo orig", "S", "12"}),
                               row({"R002", "GLI", "Glicemia", "A", "GLI", nullptr, "S", "5"}),
                               // acc_orig and every other column come from the source row.
                               row({"TNA7_R001", "EMO", "Emocromo completo", "O", "(*)", "Emocromo orig", "S", "12"}),
                           }));
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
}

TEST_F(SynonymLoad, CleanUpTakesThisSetAndEarlierCompleteRowsOnly) {
    db.exec("INSERT INTO tab_acc (rowid, acc_descr, acc_orig, acc_prn) VALUES "
            "('TNA7_R001', 'old A', 'x', 'S'), ('TNB7_R001', 'set B', 'x', 'S'), "
            "('N001', '   earlier', '   earlier', 'S'), "  // an earlier complete row
            "('N002', '   kept', '   kept', 'N'), "         // acc_prn N: the practice's own
            "('N0003', '   long id', '   long id', 'S'), "  // not 4 characters
            "('N004', 'no blanks', 'no blanks', 'S')");
    EXPECT_EQ(load("A", {}), "success");
    Texts ids;
    for (const auto& r : db.rows("SELECT rowid FROM tab_acc ORDER BY rowid")) ids.push_back(*r[0]);
    EXPECT_EQ(ids, (Texts{"N0003", "N002", "N004", "R001", "R002", "TNB7_R001"}));

    // No set code: every copied row of every set goes.
    EXPECT_EQ(load("", {}), "success");
    EXPECT_EQ(db.value("SELECT COUNT(*) FROM tab_acc WHERE rowid LIKE 'TN%'"), "0");
}

TEST_F(SynonymLoad, CompleteRowsAreReplacedByTheNextLoad) {
    const Texts lines = {
        "9,'N001','Visita oculistica',x,'N001','OCU','ignored','Z','Z','ignored','S',40",
        "10,'N005','Troppo corta',x,'N005','OCU'",  // not 4 + 8 fields: nothing
    };
    for (int pass = 1; pass <= 2; ++pass) {
        EXPECT_EQ(load("A", lines), "success") << pass;
        EXPECT_EQ(db.rows("SELECT " + std::string(catalogue_columns) + " FROM tab_acc WHERE rowid LIKE 'N%'"),
                  (Rows{row({"N001", "OCU", "   Visita oculistica", "O", "(*)", "   Visita oculistica", "S", "40"})}))
            << pass;
        // The second load removed the row before writing it again: no
        // duplicate key.
        EXPECT_TRUE(toolkit::headless::dialogs().empty()) << pass;
    }
}

TEST_F(SynonymLoad, ShortLinesCountButWriteNothing) {
    const Rows before = catalogue();
    EXPECT_EQ(load("A", {"7,'R001','tre campi'", "", "8,'R002'"}), "success");
    EXPECT_EQ(catalogue(), before);
    // Two short lines and the padding line: three counted, the empty one not.
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().rfind("Processing tab_acc (3) @ ", 0), 0u) << statuses.back();
}

TEST_F(SynonymLoad, EightBitDescriptionsArriveByteExact) {
    EXPECT_EQ(load("A", {"7,'R001','Ecografia dell''addome \xE8 completa',x"}), "success");
    EXPECT_EQ(db.value("SELECT " + db.hex_of("acc_descr") + " FROM tab_acc WHERE rowid = 'TNA7_R001'"),
              "45636F6772616669612064656C6C276164646F6D6520E820636F6D706C657461");
}

TEST_F(SynonymLoad, OnlyTheFirstRefusedInsertIsShown) {
    // The second and third lines give the key of the first once more: the
    // database refuses them.
    EXPECT_EQ(load("B", {"1,'R001','uno',x", "1,'R001','uno',x", "1,'R001','uno',x"}), "success");
    ASSERT_EQ(toolkit::headless::dialogs().size(), 1u);
    const auto& box = toolkit::headless::dialogs()[0];
    EXPECT_EQ(box.kind, DialogKind::message_box);
    EXPECT_EQ(box.caption, "Errore SQL");
    const std::string statement_tail = "FROM tab_acc WHERE rowid = 'R001'";
    EXPECT_NE(box.text.find("\r\n\r\nINSERT INTO tab_acc( rowid,acc_cod,"), std::string::npos) << box.text;
    EXPECT_EQ(box.text.substr(box.text.size() - statement_tail.size()), statement_tail);
    EXPECT_EQ(db.value("SELECT COUNT(*) FROM tab_acc WHERE rowid = 'TNB1_R001'"), "1");
}

}  // namespace
