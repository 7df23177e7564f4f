// Scripts through the plug-in's exports and the practice's data connection,
// on a real database.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "practice_db.h"

namespace {

using practice::call_export;
using practice::DbKind;
using practice::PracticeTest;
using practice::Row;
using practice::Rows;

const std::vector<std::string> pushed_zero{"0"};

class ScriptExports : public PracticeTest {
protected:
    void SetUp() override {
        PracticeTest::SetUp();
        db.exec("CREATE TABLE t_script (id integer PRIMARY KEY, txt varchar(100))");
    }
    Rows table() { return db.rows("SELECT id, txt FROM t_script ORDER BY id"); }

    // A script file in the working directory, written byte for byte.
    std::string script_file(const std::string& name, const std::string& bytes) {
        const auto path = std::filesystem::current_path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
};

TEST_F(ScriptExports, StringScriptRowsArrive) {
    EXPECT_EQ(call_export(exec_sql_string,
                          {"INSERT INTO t_script VALUES (1, 'uno');\r\nINSERT INTO t_script VALUES (2, NULL);"}),
              pushed_zero);
    EXPECT_EQ(table(), (Rows{{"1", "uno"}, {"2", std::nullopt}}));
}

TEST_F(ScriptExports, FailingStatementNeitherStopsNorUndoesTheOthers) {
    // The duplicate key fails; on PostgreSQL it would abort the whole
    // transaction unless each statement stands on its own.
    EXPECT_EQ(call_export(exec_sql_string, {"INSERT INTO t_script VALUES (1, 'first');"
                                            "INSERT INTO t_script VALUES (1, 'again');"
                                            "INSERT INTO t_script VALUES (3, 'third')"}),
              pushed_zero);
    EXPECT_EQ(table(), (Rows{{"1", "first"}, {"3", "third"}}));
}

TEST_F(ScriptExports, FilesRunWithTheirSeparator) {
    const std::string semicolons =
        script_file("a.sql", "INSERT INTO t_script VALUES (1, 'a');\r\nINSERT INTO t_script VALUES (2, 'b');\r\n");
    EXPECT_EQ(call_export(exec_sql_file, {semicolons}), pushed_zero);
    const std::string go = script_file(
        "b.sql", "INSERT INTO t_script VALUES (3, 'c;d')\r\nGO\r\nUPDATE t_script SET txt = 'B' WHERE id = 2\r\nGO\r\n");
    EXPECT_EQ(call_export(exec_sql_file_ter, {go, "GO"}), pushed_zero);
    EXPECT_EQ(table(), (Rows{{"1", "a"}, {"2", "B"}, {"3", "c;d"}}));
    EXPECT_EQ(call_export(exec_sql_file, {(std::filesystem::current_path() / "missing.sql").string()}),
              std::vector<std::string>{"-1"});
}

TEST_F(ScriptExports, Windows1252BytesArriveByteExact) {
    // a grave, e grave, e acute, o grave, u grave, euro sign, and a quote.
    const std::string accented = "\xE0\xE8\xE9\xF2\xF9 \x80 l''\xE8";
    const std::string stored_hex = "E0E8E9F2F92080206C27E8";  // doubled quote stored once
    EXPECT_EQ(call_export(exec_sql_string, {"INSERT INTO t_script VALUES (1, '" + accented + "')"}), pushed_zero);
    const std::string file = script_file("accents.sql", "INSERT INTO t_script VALUES (2, '" + accented + "');\r\n");
    EXPECT_EQ(call_export(exec_sql_file, {file}), pushed_zero);

    const Rows stored = db.rows("SELECT " + db.hex_of("txt") + " FROM t_script ORDER BY id");
    EXPECT_EQ(stored, (Rows{{stored_hex}, {stored_hex}}));
    // And back through the query export, as bytes.
    EXPECT_EQ(call_export(exec_sql_into, {"SELECT txt FROM t_script WHERE id = 2"}),
              std::vector<std::string>{"\xE0\xE8\xE9\xF2\xF9 \x80 l'\xE8"});
}

}  // namespace
