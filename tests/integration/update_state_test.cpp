// The update state of reference tables, and single-value queries, through
// the exports on a real practice database: both database kinds must give the
// installer the same answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "practice_db.h"
#include "toolkit/headless/headless.h"

namespace {

using practice::call_export;
using practice::PracticeTest;
using practice::Row;
using practice::Rows;
using Results = std::vector<std::string>;

class UpdateState : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        toolkit::headless::reset();
        for (const char* table : {"cprobl", "tab_acc", "tab_vac", "foo"}) db.exec(std::string("DROP TABLE IF EXISTS ") + table);
        db.exec("CREATE TABLE cprobl (codice varchar(10) PRIMARY KEY, frequenza integer, x integer)");
        db.exec("CREATE TABLE tab_acc (codice varchar(10) PRIMARY KEY, data_upd timestamp, x integer)");
        db.exec("CREATE TABLE tab_vac (codice varchar(10) PRIMARY KEY, data_upd timestamp)");
        db.exec("CREATE TABLE foo (codice varchar(10) PRIMARY KEY, data_upd timestamp)");
    }
    void TearDown() override {
        EXPECT_TRUE(toolkit::headless::dialogs().empty()) << "no dialog on any of these paths";
        EXPECT_EQ(toolkit::headless::busy_depth(), 0);
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
    }
    // The registry rows, without the columns the database fills itself.
    Rows registry() {
        return db.rows("SELECT tableid, tabella, chiave1, chiave2, descrizione FROM tables ORDER BY tabella");
    }
    // What the installer pops: the state first, then chiave2.
    Results state_of(const std::string& table, const std::string& filter = "") {
        return call_export(exec_get_data_upd, {table, filter});
    }
};

TEST_F(UpdateState, CprobCountsByItsFrequencyWithinTheFilter) {
    db.exec("INSERT INTO cprobl VALUES ('a', 1440, 1)");
    db.exec("INSERT INTO cprobl VALUES ('b', 90, 1)");
    db.exec("INSERT INTO cprobl VALUES ('c', 999999, 2)");
    EXPECT_EQ(state_of("cprobl", "WHERE x=1"), (Results{"2000-01-02 00:00:00.000000", ""}));
    EXPECT_EQ(registry(), (Rows{{"RUPDF17", "upd_cprobl", "", std::nullopt, "Update cprobl"}}));
    // The second call finds the row and leaves it as it is.
    EXPECT_EQ(state_of("cprobl"), (Results{"2001-11-25 10:39:00.000000", ""}));
    EXPECT_EQ(registry().size(), 1u);
}

TEST_F(UpdateState, CprobWithoutAUsableFrequencyHasNoState) {
    EXPECT_EQ(state_of("cprobl"), (Results{"1980-01-01 00:00:00.000000", ""}));
    db.exec("INSERT INTO cprobl VALUES ('a', NULL, 1)");
    db.exec("INSERT INTO cprobl VALUES ('b', -5, 1)");
    EXPECT_EQ(state_of("cprobl"), (Results{"1980-01-01 00:00:00.000000", ""}));
    db.exec("INSERT INTO cprobl VALUES ('c', 0, 1)");
    EXPECT_EQ(state_of("cprobl"), (Results{"1980-01-01 00:00:00.000000", ""}));
}

TEST_F(UpdateState, AccCatalogoReadsTabAccUnderItsOwnRow) {
    db.exec("INSERT INTO tab_acc VALUES ('a', '2015-06-07 08:09:10.123', 1)");
    db.exec("INSERT INTO tab_acc VALUES ('b', '2014-01-01 00:00:00', 1)");
    db.exec("INSERT INTO tab_acc VALUES ('c', '2019-01-01 00:00:00', 2)");
    EXPECT_EQ(state_of("acc_catalogo", "WHERE x=1"), (Results{"2015-06-07 08:09:10.123000", ""}));
    EXPECT_EQ(state_of("acc_ric_pre"), (Results{"2019-01-01 00:00:00.000000", ""}));
    EXPECT_EQ(registry(), (Rows{{"RUPDF20", "upd_acc_catalogo", "", std::nullopt, "Update tab_acc"},
                                {"RUPDF19", "upd_acc_ric_pre", "", std::nullopt, "Update tab_acc"}}));
}

TEST_F(UpdateState, UnknownAndCapitalisedNamesShareTheCatchAllId) {
    EXPECT_EQ(state_of("foo"), (Results{"1980-01-01 00:00:00.000000", ""}));
    db.exec("INSERT INTO foo VALUES ('a', '2001-02-03 04:05:06')");
    EXPECT_EQ(state_of("foo"), (Results{"2001-02-03 04:05:06.000000", ""}));
    // CPROBL is not cprobl: no frequency query.  Both databases read the
    // name as cprobl, which has no data_upd, so the stamp query fails and
    // the table has no state.
    db.exec("INSERT INTO cprobl VALUES ('a', 1440, 1)");
    EXPECT_EQ(state_of("CPROBL"), (Results{"1980-01-01 00:00:00.000000", ""}));
    EXPECT_EQ(registry(), (Rows{{"RUPDERR", "upd_CPROBL", "", std::nullopt, "Update CPROBL"},
                                {"RUPDERR", "upd_foo", "", std::nullopt, "Update foo"}}));
}

TEST_F(UpdateState, UnfinishedLoadKeepsTheStateItStartedFrom) {
    db.exec("INSERT INTO tab_vac VALUES ('a', '2020-01-01 00:00:00')");
    db.exec("INSERT INTO tables(tableid,tabella,chiave1,chiave2,descrizione) VALUES "
            "('RUPDF21','upd_tab_vac','2011-05-02 10:00:00.000000','K2','Update tab_vac')");
    EXPECT_EQ(state_of("tab_vac"), (Results{"2011-05-02 10:00:00.000000", "K2"}));
    db.exec("UPDATE tables SET chiave1='X' WHERE tabella='upd_tab_vac'");
    EXPECT_EQ(state_of("tab_vac"), (Results{"X0", "K2"}));
    db.exec("UPDATE tables SET chiave1='' WHERE tabella='upd_tab_vac'");
    EXPECT_EQ(state_of("tab_vac"), (Results{"2020-01-01 00:00:00.000000", "K2"}));
}

TEST_F(UpdateState, RowWithoutChiave1IsMadeAfresh) {
    db.exec("INSERT INTO tables(tableid,tabella,chiave1,chiave2,descrizione) VALUES "
            "('RUPDF21','upd_tab_vac',NULL,'K2','vecchia')");
    db.exec("INSERT INTO tables(tableid,tabella,chiave1,chiave2,descrizione) VALUES "
            "('RUPDERR','upd_tab_vac','2011-05-02 10:00:00.000000','other','stray')");
    EXPECT_EQ(state_of("tab_vac"), (Results{"1980-01-01 00:00:00.000000", ""}));
    EXPECT_EQ(registry(), (Rows{{"RUPDF21", "upd_tab_vac", "", std::nullopt, "Update tab_vac"}}));
}

TEST_F(UpdateState, EmptyNameTouchesNothing) {
    EXPECT_EQ(state_of("", "WHERE x=1"), (Results{"", ""}));
    EXPECT_TRUE(registry().empty());
    EXPECT_TRUE(toolkit::headless::library_log().empty());
}

class SingleValue : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        toolkit::headless::reset();
        db.exec("DROP TABLE IF EXISTS t_value");
        db.exec("CREATE TABLE t_value (id integer PRIMARY KEY, txt varchar(20))");
        db.exec("INSERT INTO t_value VALUES (1, 'uno')");
        db.exec("INSERT INTO t_value VALUES (2, NULL)");
        db.exec("INSERT INTO t_value VALUES (3, 'tre')");
    }
};

TEST_F(SingleValue, GivesTheFirstColumnOfTheFirstRowOrNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT txt FROM t_value WHERE id = 1", "uno"},
        {"SELECT txt, id FROM t_value WHERE id >= 3", "tre"},
        {"SELECT txt FROM t_value WHERE id = 2", ""},
        {"SELECT txt FROM t_value WHERE id = 99", ""},
        {"SELECT count(*) FROM t_value", "3"},
        {"SELECT txt FROM t_value WHERE id = 1;SELECT txt FROM t_value WHERE id = 3", "tre"},
        {"SELECT nothing FROM nowhere", ""},
        {"", ""},
    };
    for (const auto& [query, value] : cases)
        EXPECT_EQ(call_export(exec_sql_into, {query}), (Results{value})) << query;
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
}

TEST_F(SingleValue, AChangeBeforeTheQueryIsCommittedAndSeen) {
    EXPECT_EQ(call_export(exec_sql_into, {"UPDATE t_value SET txt = 'due' WHERE id = 2;"
                                          "SELECT txt FROM t_value WHERE id = 2"}),
              (Results{"due"}));
    EXPECT_EQ(db.value("SELECT txt FROM t_value WHERE id = 2"), "due");
}

}  // namespace
