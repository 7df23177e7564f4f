// The practice's data-connection library (the stand-in vorovuro) as the
// plug-in uses it: batches of statements, the last error, queries, commit
// and rollback, on a real database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <regex>
#include <vector>
#include <set>
#include <string>

#include "db/binding.h"
#include "practice_db.h"

namespace {

using practice::DbKind;
using practice::PracticeTest;
using practice::Rows;

class StandinConnection : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        db.exec("CREATE TABLE t_batch (id integer PRIMARY KEY, txt varchar(100))");
        ASSERT_TRUE(library) << "vorovuro.dll (libvorovuro.so in TN_STANDIN_DIR) not loaded";
        ASSERT_TRUE(tn::resolve_vorovuro(library, tn::need_exec | tn::need_into | tn::need_last_error, api));
    }
    Rows table() { return db.rows("SELECT id, txt FROM t_batch ORDER BY id"); }

    tn::Library library{"vorovuro.dll"};
    tn::VorovuroApi api;
};

// Sets TN_DATA_CONNECTION for one scope.
class ConnectionStringOverride {
public:
    explicit ConnectionStringOverride(const std::string& text) {
        if (const char* old = std::getenv("TN_DATA_CONNECTION")) saved_ = old;
        if (!text.empty()) setenv("TN_DATA_CONNECTION", text.c_str(), 1);
    }
    ~ConnectionStringOverride() {
        if (saved_) setenv("TN_DATA_CONNECTION", saved_->c_str(), 1);
        else unsetenv("TN_DATA_CONNECTION");
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(StandinConnection, BatchWithAFailingStatementKeepsTheOthers) {
    // On PostgreSQL also with the driver told to roll back the whole
    // transaction on an error (7.4-1), or nothing at all (7.4-0).
    std::vector<std::string> connection_strings{""};
    if (db.kind() == DbKind::postgresql) {
        connection_strings.push_back(practice::connection_string() + ";Protocol=7.4-1;");
        connection_strings.push_back(practice::connection_string() + ";Protocol=7.4-0;");
    }
    for (const auto& text : connection_strings) {
        SCOPED_TRACE(text);
        db.exec("DELETE FROM t_batch");
        ConnectionStringOverride use(text);
        tn::Connection connection(api);
        ASSERT_TRUE(connection);
        connection.exec("INSERT INTO t_batch VALUES (1, 'a');\r\n"
                        "INSERT INTO t_batch VALUES (1, 'duplicate');\r\n"
                        "INSERT INTO t_batch VALUES (3, 'c');\r\n"
                        "commit;\r\n");
        const std::string error = connection.last_error();
        EXPECT_EQ(table(), (Rows{{"1", "a"}, {"3", "c"}}));
        // The database's own message, and which statement of the batch failed.
        EXPECT_NE(error.find("Statement 2 of 4: INSERT INTO t_batch VALUES (1, 'duplicate')"), std::string::npos)
            << error;
        EXPECT_GT(error.find("Statement 2"), 0u) << "the database's message comes first: " << error;

        connection.exec("INSERT INTO t_batch VALUES (4, 'd');commit");
        EXPECT_EQ(connection.last_error(), "");
        EXPECT_EQ(db.value("SELECT count(*) FROM t_batch"), "3");
    }
}

TEST_F(StandinConnection, LastErrorOfASingleStatementIsTheDatabaseMessage) {
    tn::Connection connection(api);
    connection.exec("INSERT INTO no_such_table VALUES (1)");
    const std::string error = connection.last_error();
    EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
    EXPECT_EQ(error.find("Statement"), std::string::npos) << error;
    EXPECT_EQ(connection.into("SELECT count(*) FROM t_batch"), "0");
    EXPECT_EQ(connection.last_error(), "");
}

TEST_F(StandinConnection, StatementsAreCutOnlyAtSeparatorsThatAreSql) {
    tn::Connection connection(api);
    connection.exec("INSERT INTO t_batch VALUES (1, 'semi;colon');"
                    "INSERT INTO \"t_batch\" VALUES (2, 'it''s; here') -- a comment; still a comment\n;"
                    "/* block; comment */ INSERT INTO t_batch VALUES (3, '/* not; a comment */');"
                    ";  ; \r\n -- only a comment\n;"
                    "INSERT INTO t_batch VALUES (4, '--not;a comment');commit");
    EXPECT_EQ(connection.last_error(), "");
    EXPECT_EQ(table(), (Rows{{"1", "semi;colon"}, {"2", "it's; here"}, {"3", "/* not; a comment */"},
                             {"4", "--not;a comment"}}));
}

TEST_F(StandinConnection, CommitInAnyCaseAndDestroyRollsBackTheRest) {
    const char* commits[] = {"commit", "COMMIT;", "  Commit  ;\r\n", "\r\ncommit"};
    int id = 0;
    for (const char* commit : commits) {
        tn::Connection connection(api);
        connection.exec("INSERT INTO t_batch VALUES (" + std::to_string(++id) + ", 'kept')");
        connection.exec(commit);
        EXPECT_EQ(connection.last_error(), "") << commit;
        connection.exec("INSERT INTO t_batch VALUES (" + std::to_string(100 + id) + ", 'dropped')");
    }  // destroyed without a commit after the second insert
    EXPECT_EQ(table(), (Rows{{"1", "kept"}, {"2", "kept"}, {"3", "kept"}, {"4", "kept"}}));
}

TEST_F(StandinConnection, QueryGivesFirstColumnOfFirstRowOrEmpty) {
    db.exec("INSERT INTO t_batch VALUES (1, 'one')");
    db.exec("INSERT INTO t_batch VALUES (2, NULL)");
    tn::Connection connection(api);
    struct Case {
        const char* query;
        const char* answer;
    };
    const Case cases[] = {
        {"SELECT txt, id FROM t_batch ORDER BY id", "one"},
        {"SELECT id FROM t_batch ORDER BY id DESC", "2"},
        {"SELECT txt FROM t_batch WHERE id = 2", ""},   // NULL
        {"SELECT txt FROM t_batch WHERE id = 9", ""},   // no row
        {"SELECT txt FROM no_such_table", ""},          // failure
        {"SELECT left('abcdef', 3)", "abc"},            // the practice's left() on both kinds
        {"SELECT left(txt, 2) FROM t_batch WHERE id = 1", "on"},
    };
    for (const auto& c : cases) EXPECT_EQ(connection.into(c.query), c.answer) << c.query;
    // A long value comes back whole.
    const std::string long_text(10000, 'x');
    EXPECT_EQ(connection.into("SELECT '" + long_text + "'"), long_text);
}

TEST_F(StandinConnection, PracticeFunctionsAnswerInTheUpdateStateForm) {
    db.exec("CREATE TABLE t_stamp (id integer PRIMARY KEY, data_upd timestamp)");
    db.exec("INSERT INTO t_stamp VALUES (1, '2011-05-02 10:00:00')");
    db.exec("INSERT INTO t_stamp VALUES (2, '2011-05-02 10:00:00.123456')");
    tn::Connection connection(api);
    const bool pg = db.kind() == DbKind::postgresql;
    EXPECT_EQ(connection.into("SELECT dbmstype()"), practice::kind_name(db.kind()));
    // Each kind with the pattern that the updater sends it.
    const std::string pattern = pg ? "'YYYY-MM-DD HH24:MI:SS.MS000'" : "'yyyy-mm-dd hh:MM:ss.sss000'";
    struct Case {
        const char* where;
        const char* answer;
    };
    const Case cases[] = {
        {"id = 1", "2011-05-02 10:00:00.000000"},
        {"id = 2", "2011-05-02 10:00:00.123000"},
        {"id > 0", "2011-05-02 10:00:00.123000"},
        {"id = 9", ""},  // max() of no rows is NULL
    };
    for (const auto& c : cases) {
        EXPECT_EQ(connection.into("SELECT DATEFORMAT(max(data_upd)," + pattern + ") FROM t_stamp WHERE " + c.where),
                  c.answer)
            << c.where;
    }
    if (!pg) {  // the embedded database takes both patterns
        EXPECT_EQ(connection.into("SELECT DATEFORMAT(data_upd,'YYYY-MM-DD HH24:MI:SS.MS000') FROM t_stamp WHERE id=1"),
                  "2011-05-02 10:00:00.000000");
    } else {
        EXPECT_EQ(connection.into("SELECT prepara_ambiente_tn()"), "ok");
    }
    const std::string now = connection.into("SELECT DATEFORMAT(now()," + pattern + ")");
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}000)"))) << now;
    // now() itself stores into a registry row.
    connection.exec("INSERT INTO tables(tableid,tabella,chiave1,descrizione) VALUES ('RUPDERR','upd_x','','Update x');"
                    "UPDATE tables SET data_upd=now(), time_last=now() WHERE tabella='upd_x';commit");
    EXPECT_EQ(connection.last_error(), "");
    EXPECT_EQ(connection.into("SELECT count(*) FROM tables WHERE data_upd IS NOT NULL"), "1");
}

TEST_F(StandinConnection, HandlesAreDistinctAndUnknownOnesAreRefused) {
    tn::Connection first(api), second(api);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.handle(), second.handle());
    const DataConnection unknown = first.handle() + second.handle() + 1000;
    EXPECT_EQ(api.exec(unknown, "INSERT INTO t_batch VALUES (1, 'x')"), -1);
    EXPECT_STREQ(api.last_error(unknown), "invalid data connection");
    std::int32_t status = 0;
    EXPECT_STREQ(api.into(unknown, "SELECT 1", &status), "");
    EXPECT_EQ(api.destroy(unknown), -1);
}

TEST(AuxiliaryLibrary, GuidsAreNewEveryCallAndTheWaitReturns) {
    tn::Library velt("velt32w0.dll");
    ASSERT_TRUE(velt);
    const auto get_guid = velt.function<GetGUid_fn>("GetGUid");
    const auto wait = velt.function<AspettaEvento_fn>("AspettaEvento");
    ASSERT_TRUE(get_guid && wait);
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string guid = tn::library_text(get_guid());
        EXPECT_TRUE(std::regex_match(guid, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\})")))
            << guid;
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_EQ(wait("LoadTable", 1), 0);  // nobody signals it
    EXPECT_EQ(wait("LoadTable", -5), 0);
}

}  // namespace
