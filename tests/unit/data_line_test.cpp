// Update data lines: splitting into SQL literals, and the two value rules.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "toolkit/headless/headless.h"
#include "update/data_line.h"

namespace {

using tn::StrArray;

struct LineCase {
    std::string line;
    StrArray entries;
};

// The lines as an update data file holds them, and the literals the loaders
// paste into their statements.
const LineCase line_cases[] = {
    {"A01,'Vitamina C',12,,(NULL),'2010-05-03 10:00:00.000000'",
     {"'A01'", "'Vitamina C'", "'12'", "NULL", "NULL", "'2010-05-03 10:00:00.000000'"}},
    {"1,'a,b',3", {"'1'", "'a,b'", "'3'"}},
    {"'O''Brien',x", {"'O''Brien'", "'x'"}},
    {"a,,b", {"'a'", "NULL", "'b'"}},
    {",a", {"NULL", "'a'"}},
    {"a,", {"'a'"}},
    {"a,,", {"'a'", "NULL"}},
    {"'x',", {"'x'"}},
    {"''", {"''"}},
    {"'''',x", {"''''", "'x'"}},
    {"'a'',b'", {"'a'',b'"}},
    {"NULL,(null),(NULL)", {"'NULL'", "'(null)'", "NULL"}},
    {"1, 2", {"'1'", "' 2'"}},
    {"1,'ab", {"'1'"}},
    {"'ab'c,d", {}},
    // A quote that would end the literal early is doubled.
    {"x'y", {"'x''y'"}},
    {"'l'anca',x", {"'l''anca'", "'x'"}},
    {"a,'it''s l'anca','x'y'", {"'a'", "'it''s l''anca'", "'x''y'"}},
    {" 'x'", {"' ''x'''"}},
    {"O'", {"'O'''"}},
    // The edges.
    {"", {}},
    {"7", {"'7'"}},
    {",", {"NULL"}},
    {",,", {"NULL", "NULL"}},
    {"'", {}},
    {"a,'", {"'a'"}},
    {"'ab''", {}},
    {"'a'''", {"'a'''"}},
    {"'a''',x", {"'a'''", "'x'"}},
    {"(NULL)", {"NULL"}},
    {"(NULL) ,x", {"'(NULL) '", "'x'"}},
    {"'(NULL)'", {"'(NULL)'"}},
    {"\xe0\xe8,'perch\xe9'", {"'\xe0\xe8'", "'perch\xe9'"}},
};

TEST(Riga2Array, GivesTheLiteralsOfEveryLine) {
    for (const auto& c : line_cases) EXPECT_EQ(tn::riga2array(c.line), c.entries) << "line: " << c.line;
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
}

TEST(Riga2Array, ReusedListHoldsOnlyTheNewLine) {
    // The loaders split every line into one list: nothing of a longer line
    // before may survive into a shorter one.
    StrArray entries;
    for (const auto& c : line_cases) {
        tn::riga2array("stale,'stale','x',1,2,3,4,5,6,7,8,9", entries);
        tn::riga2array(c.line, entries);
        EXPECT_EQ(entries, c.entries) << "line: " << c.line;
    }
}

// True when `entry` can be pasted into SQL as one literal: NULL, or quotes
// at both ends and only doubled quotes inside.
bool well_formed_literal(const std::string& entry) {
    if (entry == "NULL") return true;
    if (entry.size() < 2 || entry.front() != '\'' || entry.back() != '\'') return false;
    std::size_t run = 0;
    for (std::size_t i = 1; i + 1 < entry.size(); ++i) {
        if (entry[i] == '\'') {
            ++run;
        } else {
            if (run % 2) return false;
            run = 0;
        }
    }
    return run % 2 == 0;
}

TEST(Riga2Array, EveryEntryOfAnyLineIsOneLiteral) {
    EXPECT_FALSE(well_formed_literal("'a'b'"));
    EXPECT_FALSE(well_formed_literal("'a'''b'"));
    EXPECT_TRUE(well_formed_literal("'a''b'"));

    std::mt19937 random(20240501);
    const std::string alphabet = "'''',,,ab (NULL)\r\t\xe9";
    std::uniform_int_distribution<std::size_t> length(0, 24), pick(0, alphabet.size() - 1);
    StrArray entries;
    for (int n = 0; n < 200000; ++n) {
        std::string line(length(random), ' ');
        for (auto& c : line) c = alphabet[pick(random)];
        tn::riga2array(line, entries);
        for (const auto& entry : entries) ASSERT_TRUE(well_formed_literal(entry)) << "line: " << line << " entry: " << entry;
    }
}

TEST(Riga2Array, RowsWrittenByTheFileRulesComeBackAsTheirLiterals) {
    // Values written as an update data file writes them: texts quoted with
    // inner quotes doubled, NULL as an empty value or (NULL), numbers bare.
    std::mt19937 random(7);
    const std::string text_alphabet = "ab,' ;\xe9";
    std::uniform_int_distribution<int> kind(0, 4), count(1, 30), text_length(0, 8);
    std::uniform_int_distribution<std::size_t> pick(0, text_alphabet.size() - 1);
    for (int n = 0; n < 20000; ++n) {
        std::string line;
        StrArray expected;
        const int values = count(random);
        for (int v = 0; v < values; ++v) {
            if (v) line += ',';
            switch (kind(random)) {
                case 0:
                    // A trailing empty value adds no entry: keep the last one filled.
                    if (v + 1 == values) {
                        line += "(NULL)";
                    }
                    expected.push_back("NULL");
                    break;
                case 1:
                    line += "(NULL)";
                    expected.push_back("NULL");
                    break;
                case 2: {
                    const std::string number = std::to_string(random() % 100000);
                    line += number;
                    expected.push_back("'" + number + "'");
                    break;
                }
                default: {
                    std::string text(text_length(random), ' ');
                    for (auto& c : text) c = text_alphabet[pick(random)];
                    std::string literal = "'";
                    for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
                    literal += "'";
                    line += literal;
                    expected.push_back(literal);
                }
            }
        }
        ASSERT_EQ(tn::riga2array(line), expected) << "line: " << line;
    }
}

TEST(UnquoteValue, StripsOnePairOfQuotesAfterTrimming) {
    const std::pair<std::string, std::string> cases[] = {
        {"'ABC'", "ABC"},
        {"  'ABC' \t", "ABC"},
        {"'O''B'", "O''B"},
        {"''", "''"},
        {" '' ", "''"},
        {"'A", "'A"},
        {"ABC", "ABC"},
        {"", ""},
        {"   ", ""},
        {"'", "'"},
        {"'x'", "x"},
        {"'''", "'"},
        {"\r\n'12'\x01", "12"},
        {"\xe9'a'\xe9", "\xe9'a'\xe9"},
        {"'a b'", "a b"},
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(tn::unquote_value(value), expected) << "value: " << value;
}

TEST(IsNullValue, KnowsTheThreeSpellingsOfNoValue) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},       {"NULL", true},  {"null", true},   {"Null", true},    {"nULl", true},
        {"''", true},     {"'NULL'", false}, {"'x'", false}, {"0", false},      {" ", false},
        {" '' ", false},  {"NULL ", false}, {"NUL", false},  {"(NULL)", false}, {"NULLS", false},
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(tn::is_null_value(value), expected) << "value: " << value;
}

}  // namespace
