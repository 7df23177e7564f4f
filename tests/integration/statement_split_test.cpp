// How the practice's data connection cuts a batch into statements, and the
// one rewrite it makes for SQLite's grammar.  Pure text work: no database.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "statements.h"

namespace {

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> pieces;
    standin::for_each_statement(text, [&](std::string_view piece) { pieces.emplace_back(piece); });
    return pieces;
}

TEST(StatementSplit, CutsAtSemicolonsOutsideQuotesAndComments) {
    using Pieces = std::vector<std::string>;
    struct Case {
        const char* text;
        Pieces pieces;
    };
    const Case cases[] = {
        {"", {}},
        {" ;\r\n; ;", {}},
        {"select 1", {"select 1"}},
        {"  insert a;\r\ninsert b;\r\ncommit;\r\n", {"insert a", "insert b", "commit"}},
        {"DELETE FROM t WHERE k='1' ;INSERT INTO t VALUES('1')", {"DELETE FROM t WHERE k='1'", "INSERT INTO t VALUES('1')"}},
        {"insert 'a;b';x", {"insert 'a;b'", "x"}},
        {"insert 'it''s;';x", {"insert 'it''s;'", "x"}},
        {"insert '';x", {"insert ''", "x"}},
        {"select \"a;b\" from t;x", {"select \"a;b\" from t", "x"}},
        {"select \"a\"\";b\";x", {"select \"a\"\";b\"", "x"}},
        {"a -- c;d\n b;x", {"a -- c;d\n b", "x"}},
        {"-- only;\n;x -- trailing;", {"x"}},
        {"a /* c;d */ b;x", {"a /* c;d */ b", "x"}},
        {"/* lead; */ a;/* unclosed;", {"a"}},
        {"a '--;' b;x", {"a '--;' b", "x"}},
        {"a '/*;' b;x", {"a '/*;' b", "x"}},
        {"a - b / c;x", {"a - b / c", "x"}},
        {"insert 'unclosed;x", {"insert 'unclosed;x"}},
        {"x\xe0\x80;\xe9", {"x\xe0\x80", "\xe9"}},
    };
    for (const auto& c : cases) EXPECT_EQ(split(c.text), c.pieces) << c.text;
}

TEST(StatementSplit, RecognisesWordsInAnyCase) {
    EXPECT_TRUE(standin::is_word("commit", "commit"));
    EXPECT_TRUE(standin::is_word("CoMmIt", "commit"));
    EXPECT_FALSE(standin::is_word("commit work", "commit"));
    EXPECT_FALSE(standin::is_word("commi", "commit"));
}

TEST(StatementSplit, QuotesLeftCallsOnly) {
    struct Case {
        const char* statement;
        const char* rewritten;  // null: left unchanged
    };
    const Case cases[] = {
        {"SELECT left('abc',2)", "SELECT \"left\"('abc',2)"},
        {"select LEFT (x, 3) = '   ' and left(y,1)='a'", "select \"LEFT\" (x, 3) = '   ' and \"left\"(y,1)='a'"},
        {"SELECT * FROM a LEFT JOIN b ON a.k = b.k", nullptr},
        {"SELECT 'left(' FROM t", nullptr},
        {"SELECT \"left\"(x,1) FROM t", nullptr},
        {"SELECT bleft(x), left_col FROM t -- left(", nullptr},
    };
    for (const auto& c : cases) {
        std::string out = "untouched";
        const bool changed = standin::quote_left_calls(c.statement, out);
        EXPECT_EQ(changed, c.rewritten != nullptr) << c.statement;
        EXPECT_EQ(out, c.rewritten ? c.rewritten : "untouched") << c.statement;
    }
}

}  // namespace
