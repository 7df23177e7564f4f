// Splitting scripts into statements.
#include <gtest/gtest.h>

#include "db/script.h"
#include "toolkit/headless/headless.h"

namespace {

using tn::StrArray;

TEST(String2Array, SplitsAsTheInstallerScriptsExpect) {
    struct Case {
        const char* text;
        const char* separator;
        StrArray pieces;
    };
    const Case cases[] = {
        {"", ";", {}},
        {"select 1", ";", {"select 1"}},
        {" a \r\n b ", ";", {" a \r\n b "}},
        {";", ";", {"", ""}},
        {"a;b;", ";", {"a", "b", ""}},
        {"a;;b", ";", {"a", "", "b"}},
        {"insert into t values('x;y')", ";", {"insert into t values('x", "y')"}},
        {"a;\r\nb;\r\n", ";", {"a", "\r\nb", "\r\n"}},
        {"a;b", "", {"a;b"}},
        {"a GO b GO ", " GO ", {"a", "b", ""}},
        {"aGOGOb", "GO", {"a", "", "b"}},
        {"x\x80\x9f\xe9;y", ";", {"x\x80\x9f\xe9", "y"}},
    };
    for (const auto& c : cases) {
        StrArray list{"stale"};
        tn::string2array(c.text, c.separator, list);
        EXPECT_EQ(list, c.pieces) << "text: " << c.text << " separator: " << c.separator;
    }
}

}  // namespace
