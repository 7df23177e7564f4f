// The synonym load through the recording data-connection library: the exact
// statements, their order, commits, progress, pause and abandon.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export_stack.h"
#include "plugin/nsis.h"
#include "plugin/panel.h"
#include "plugin/panel_headless.h"
#include "recording_library.h"
#include "temp_file.h"
#include "toolkit/headless/headless.h"
#include "update/synonyms.h"

TN_EXPORT(exec_load_sinonimi);

namespace {

using testing_support::RecordingLibrary;
using toolkit::headless::Dialog;
using toolkit::headless::DialogKind;
using Texts = std::vector<std::string>;

const Texts columns = {"rowid", "acc_cod", "acc_descr", "acc_status", "acc_short", "acc_orig", "acc_prn"};

const std::string clean_complete_rows =
    "exec: DELETE FROM tab_acc WHERE length(rowid)=4 AND acc_prn <> 'N' AND length(acc_orig) > 3 AND "
    "left(acc_orig,3)='   '";

std::string exists(const std::string& rowid) { return "select '1' FROM tab_acc WHERE rowid=" + rowid; }

// A fresh file per test, its lines ended by CR LF.
std::string write_file(const Texts& lines, const std::string& name = "synonyms.txt") {
    const std::string path = testing_support::temp_path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << "\r\n";
    return path;
}

// Pads a file past the 128 bytes below which a load does nothing.
Texts padded(Texts lines) {
    lines.push_back("x,y," + std::string(130, 'p'));  // 3 fields: counted, writes nothing
    return lines;
}

struct SynonymLoad : ::testing::Test {
    RecordingLibrary lib;
    std::vector<std::pair<std::string, std::uint32_t>> reports;

    SynonymLoad() {
        toolkit::headless::set_local_time_ms(1'000'000);
        lib.answers["SELECT COUNT(*) FROM syscolumns where tname = 'tab_acc'"] = std::to_string(columns.size());
        for (std::size_t k = 0; k < columns.size(); ++k)
            lib.answers["select cname from syscolumns where tname = 'tab_acc' and colno=" + std::to_string(k + 1)] =
                columns[k];
        panel::paused = false;
        panel::abort_requested = false;
        panel::progress_hook() = [this](const std::string& text, std::uint32_t done) {
            reports.emplace_back(text, done);
        };
    }
    ~SynonymLoad() override {
        panel::progress_hook() = nullptr;
        panel::paused = false;
        panel::abort_requested = false;
    }

    // The calls between the column list and the final commit.
    Texts line_calls() const {
        auto begin = std::find(lib.calls.begin(), lib.calls.end(),
                               "into: select cname from syscolumns where tname = 'tab_acc' and colno=" +
                                   std::to_string(columns.size()));
        EXPECT_NE(begin, lib.calls.end());
        Texts out(begin + 1, lib.calls.end());
        EXPECT_GE(out.size(), 2u);
        EXPECT_EQ(out.back(), "destroy");
        out.pop_back();
        EXPECT_EQ(out.back(), "exec: commit");
        out.pop_back();
        return out;
    }

    Texts statuses() const {
        Texts out;
        for (const auto& r : reports) out.push_back(r.first);
        return out;
    }

    std::size_t count_calls(const std::string& call) const {
        return static_cast<std::size_t>(std::count(lib.calls.begin(), lib.calls.end(), call));
    }
};

TEST_F(SynonymLoad, WritesCopiedAndCompleteRowsWithTheirExactStatements) {
    lib.answers[exists("'R001'")] = "1";
    lib.answers[exists("'R001'") + " AND acc_descr <> 'Emocromo'"] = "1";
    lib.answers[exists("'R002'")] = "1";  // same description: nothing to write
    const std::string path = write_file({
        "7,'R001','Emocromo',x",
        "8,'R002','Glicemia',x",
        "",
        "a,'R003','tre'",
        "9,'N001','Nuovo esame',x,'N001','C9','ignored','Z','Z','ignored','S'",
        "10,'N002','Corto',x,'N002'",
    });
    const std::string copied =
        "INSERT INTO tab_acc( rowid,acc_cod,acc_descr,acc_status,acc_short,acc_orig,acc_prn) SELECT 'TNS1' || '7'|| "
        "'_' || rowid,acc_cod,'Emocromo','O','(*)',acc_orig,acc_prn FROM tab_acc WHERE rowid = 'R001'";
    const std::string complete =
        "INSERT INTO tab_acc( rowid,acc_cod,acc_descr,acc_status,acc_short,acc_orig,acc_prn) VALUES( 'N001','C9','   "
        "' || 'Nuovo esame','O','(*)','   ' || 'Nuovo esame','S')";

    EXPECT_EQ(tn::load_synonym_data("S1", path), "success");

    const Texts head(lib.calls.begin(), lib.calls.begin() + 6);
    EXPECT_EQ(head, (Texts{"create", "exec: DELETE FROM tab_acc WHERE rowid like 'TNS1%'", "exec: commit",
                           clean_complete_rows, "exec: commit",
                           "into: SELECT COUNT(*) FROM syscolumns where tname = 'tab_acc'"}));
    EXPECT_EQ(line_calls(), (Texts{
                                "into: " + exists("'R001'"),
                                "into: " + exists("'R001'") + " AND acc_descr <> 'Emocromo'",
                                "exec: " + copied,
                                "last_error",
                                "into: " + exists("'R002'"),
                                "into: " + exists("'R002'") + " AND acc_descr <> 'Glicemia'",
                                "into: " + exists("'N001'"),
                                "exec: " + complete,
                                "last_error",
                                "into: " + exists("'N002'"),
                            }));
    // The 3-field line counts; the empty one does not.
    EXPECT_EQ(statuses(), (Texts{"Inizializzazione per tab_acc", "Processing tab_acc",
                                 "Processing tab_acc (1) @ 0 secondi al termine",
                                 "Processing tab_acc (2) @ 0 secondi al termine",
                                 "Processing tab_acc (3) @ 0 secondi al termine",
                                 "Processing tab_acc (4) @ 0 secondi al termine",
                                 "Processing tab_acc (5) @ 0 secondi al termine"}));
    EXPECT_EQ(reports[2].second, 23u);  // the first line and its CR LF
    EXPECT_TRUE(toolkit::headless::dialogs().empty());
    EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
    EXPECT_EQ(toolkit::headless::busy_depth(), 0);
    EXPECT_EQ(toolkit::headless::busy_count(), 1);
}

TEST_F(SynonymLoad, SetCodeMarksTheRowsOfItsSet) {
    struct Case {
        std::string code, clean_up, rowid_expression;
    };
    const Case cases[] = {
        {"S1", "DELETE FROM tab_acc WHERE rowid like 'TNS1%'", "'TNS1' || '7'|| '_' || rowid"},
        // No code: the clean-up takes every copied row of every set.
        {"", "DELETE FROM tab_acc WHERE rowid like 'TN%'", "'TN' || '7'|| '_' || rowid"},
        // An apostrophe stays inside the literal instead of ending it.
        {"O'K", "DELETE FROM tab_acc WHERE rowid like 'TNO''K%'", "'TNO''K' || '7'|| '_' || rowid"},
    };
    lib.answer = [](const std::string& q) { return q.rfind("select '1'", 0) == 0 ? std::string("1") : std::string(); };
    const std::string path = write_file(padded({"7,'R001','Emocromo',x"}));
    for (const auto& c : cases) {
        lib.calls.clear();
        EXPECT_EQ(tn::load_synonym_data(c.code, path), "success") << c.code;
        EXPECT_EQ(lib.calls.at(1), "exec: " + c.clean_up) << c.code;
        const std::string insert_start = "exec: INSERT INTO tab_acc( rowid,acc_cod,acc_descr,acc_status,acc_short,"
                                         "acc_orig,acc_prn) SELECT " + c.rowid_expression + ",";
        EXPECT_EQ(std::count_if(lib.calls.begin(), lib.calls.end(),
                                [&](const std::string& call) { return call.rfind(insert_start, 0) == 0; }),
                  1)
            << c.code;
    }
}

TEST_F(SynonymLoad, CommitsEveryHundredCountedLines) {
    Texts lines;
    for (int i = 1; i <= 250; ++i) {
        lines.push_back("a,b,c");
        if (i % 30 == 0) lines.push_back("");  // empty lines do not count
    }
    int counted_at_commit = -1;
    std::vector<int> commits_after;
    lib.on_exec = [&](const std::string& statement) {
        if (statement == "commit") commits_after.push_back(counted_at_commit);
    };
    panel::progress_hook() = [&](const std::string& text, std::uint32_t) {
        const auto open = text.find('(');
        if (open != std::string::npos) counted_at_commit = std::stoi(text.substr(open + 1));
    };
    EXPECT_EQ(tn::load_synonym_data("S1", write_file(lines)), "success");
    // Two after the clean-ups, at 100 and 200 (reported afterwards), one at the end.
    EXPECT_EQ(commits_after, (std::vector<int>{-1, -1, 99, 199, 250}));
}

TEST_F(SynonymLoad, NothingHappensWithoutAUsableFile) {
    struct Case {
        std::string path, result;
    };
    const Case cases[] = {
        {"", "error"},
        {testing_support::temp_path("no-such-synonyms.txt"), "error"},
        {write_file({std::string(125, 'x')}, "short.txt"), "success"},  // 127 bytes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tn::load_synonym_data("S1", c.path), c.result) << c.path;
        EXPECT_TRUE(lib.calls.empty()) << c.path;
        EXPECT_TRUE(toolkit::headless::library_log().empty()) << c.path;
        EXPECT_TRUE(toolkit::headless::dialogs().empty()) << c.path;
    }
}

TEST_F(SynonymLoad, LibraryFailuresShowTheirErrorAndLeaveNothingBehind) {
    struct Case {
        const char* what;
        std::function<void(RecordingLibrary&)> arrange;
        Texts errors;
        Texts calls;
    };
    const std::string no_vorovuro = "Impossibile caricare la libreria vorovuro.dll(3)";
    const Case cases[] = {
        {"no vorovuro", [](RecordingLibrary& l) { l.vorovuro_missing = true; }, {no_vorovuro}, {}},
        {"no velt", [](RecordingLibrary& l) { l.velt_missing = true; },
         {"Impossibile caricare la libreria velt32w0.dll(3)"}, {}},
        {"neither", [](RecordingLibrary& l) { l.vorovuro_missing = l.velt_missing = true; },
         {no_vorovuro, "Impossibile caricare la libreria velt32w0.dll(3)"}, {}},
        {"no exec", [](RecordingLibrary& l) { l.missing_functions = {"API_IU_sql_exec"}; },
         {"Impossibile creare default data connection"}, {}},
        {"no last error", [](RecordingLibrary& l) { l.missing_functions = {"API_DCN_get_last_error"}; },
         {"Impossibile creare default data connection"}, {}},
        {"no GetGUid", [](RecordingLibrary& l) { l.missing_functions = {"GetGUid"}; },
         {"Impossibile creare default data connection"}, {}},
        {"no connection", [](RecordingLibrary& l) { l.handle = 0; },
         {"Creazione default data connection Non riuscita"}, {"create"}},
    };
    const std::string path = write_file(padded({"7,'R001','Emocromo',x"}));
    for (const auto& c : cases) {
        RecordingLibrary fresh;
        c.arrange(fresh);
        fresh.install();
        EXPECT_EQ(tn::load_synonym_data("S1", path), "error") << c.what;
        EXPECT_EQ(fresh.calls, c.calls) << c.what;
        Texts shown;
        for (const auto& d : toolkit::headless::dialogs()) {
            EXPECT_EQ(d.kind, DialogKind::error) << c.what;
            shown.push_back(d.text);
        }
        EXPECT_EQ(shown, c.errors) << c.what;
        EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0) << c.what;
        EXPECT_EQ(toolkit::headless::busy_depth(), 0) << c.what;
    }
}

TEST_F(SynonymLoad, ColumnCountThatIsNoNumberStopsTheLoad) {
    lib.answers["SELECT COUNT(*) FROM syscolumns where tname = 'tab_acc'"] = "many";
    EXPECT_EQ(tn::load_synonym_data("S1", write_file(padded({"7,'R001','Emocromo',x"}))), "error");
    ASSERT_EQ(toolkit::headless::dialogs().size(), 1u);
    EXPECT_EQ(toolkit::headless::dialogs()[0].kind, DialogKind::message);
    EXPECT_NE(toolkit::headless::dialogs()[0].text.find("many"), std::string::npos);
    EXPECT_EQ(lib.calls, (Texts{"create", "exec: DELETE FROM tab_acc WHERE rowid like 'TNS1%'", "exec: commit",
                                clean_complete_rows, "exec: commit",
                                "into: SELECT COUNT(*) FROM syscolumns where tname = 'tab_acc'", "destroy"}));
    EXPECT_EQ(toolkit::headless::libraries_loaded_now(), 0);
    EXPECT_EQ(toolkit::headless::busy_depth(), 0);
}

TEST_F(SynonymLoad, OnlyTheFirstFailingInsertIsShown) {
    lib.answer = [](const std::string& q) { return q.rfind("select '1'", 0) == 0 ? std::string("1") : std::string(); };
    lib.errors = {"duplicate key R001", "duplicate key R002"};
    int parent = 0;
    nsis::plugin_enter(&parent, 1024, nullptr, nullptr);
    const std::string path = write_file(padded({"7,'R001','Emocromo',x", "8,'R002','Glicemia',x"}));

    EXPECT_EQ(tn::load_synonym_data("S1", path), "success");
    ASSERT_EQ(toolkit::headless::dialogs().size(), 1u);
    const Dialog& box = toolkit::headless::dialogs()[0];
    EXPECT_EQ(box.kind, DialogKind::message_box);
    EXPECT_EQ(box.caption, "Errore SQL");
    EXPECT_EQ(box.owner, &parent);
    EXPECT_EQ(box.type, 0u);
    EXPECT_EQ(box.text,
              "duplicate key R001\r\n\r\nINSERT INTO tab_acc( rowid,acc_cod,acc_descr,acc_status,acc_short,acc_orig,"
              "acc_prn) SELECT 'TNS1' || '7'|| '_' || rowid,acc_cod,'Emocromo','O','(*)',acc_orig,acc_prn FROM "
              "tab_acc WHERE rowid = 'R001'");
    EXPECT_EQ(count_calls("last_error"), 2u);  // the second failure is read, not shown
    nsis::plugin_enter(nullptr, 0, nullptr, nullptr);
}

TEST_F(SynonymLoad, AbandonStopsAtTheNextTestAfterAFinalCommit) {
    struct Case {
        const char* what;
        std::string press_at;  // the status line at which the person presses
        bool via_pause;        // paused first, abandoned from inside the pause wait
        bool columns_read;
        Texts line_calls;
    };
    const Case cases[] = {
        {"during the clean-up", "Inizializzazione per tab_acc", false, false, {}},
        {"after line 1", "Processing tab_acc (1) @ 0 secondi al termine", false, true, {"into: " + exists("'R001'")}},
        {"while paused after line 1", "Processing tab_acc (1) @ 0 secondi al termine", true, true,
         {"into: " + exists("'R001'"), "AspettaEvento: LoadTable 500"}},
    };
    const std::string path = write_file(padded({"7,'R001','Emocromo',x", "8,'R002','Glicemia',x"}));
    for (const auto& c : cases) {
        RecordingLibrary fresh;
        toolkit::headless::set_local_time_ms(1'000'000);
        panel::abort_requested = false;
        panel::paused = false;
        fresh.answers = lib.answers;
        Texts seen;
        panel::progress_hook() = [&](const std::string& text, std::uint32_t) {
            seen.push_back(text);
            if (text != c.press_at) return;
            if (c.via_pause)
                panel::paused = true;
            else
                panel::abort_requested = true;
        };
        toolkit::headless::on_process_messages() = [&] {
            // The abandon button releases the pause.
            panel::paused = false;
            panel::abort_requested = true;
        };

        EXPECT_EQ(tn::load_synonym_data("S1", path), "abort") << c.what;
        EXPECT_EQ(seen.back(), c.press_at) << c.what;
        EXPECT_EQ(fresh.calls.size() >= 2 ? fresh.calls[fresh.calls.size() - 2] : "", "exec: commit") << c.what;
        EXPECT_EQ(fresh.calls.back(), "destroy") << c.what;
        const bool columns_read =
            std::find(fresh.calls.begin(), fresh.calls.end(),
                      "into: SELECT COUNT(*) FROM syscolumns where tname = 'tab_acc'") != fresh.calls.end();
        EXPECT_EQ(columns_read, c.columns_read) << c.what;
        if (c.columns_read) {
            auto begin = std::find(fresh.calls.begin(), fresh.calls.end(),
                                   "into: select cname from syscolumns where tname = 'tab_acc' and colno=7");
            EXPECT_EQ(Texts(begin + 1, fresh.calls.end() - 2), c.line_calls) << c.what;
        } else {
            EXPECT_EQ(fresh.calls.size(), 7u) << c.what;  // create, two clean-ups with commits, commit, destroy
        }
    }
    toolkit::headless::on_process_messages() = nullptr;
}

TEST_F(SynonymLoad, ExportPopsThreeParametersWhateverTheFlag) {
    lib.answer = [](const std::string& q) { return q.rfind("select '1'", 0) == 0 ? std::string("1") : std::string(); };
    const std::string path = write_file(padded({"7,'R001','Emocromo',x"}));
    Texts first_statements;
    for (const char* flag : {"1", "0", "", "01"}) {
        lib.calls.clear();
        testing_support::ExportStack stack;
        EXPECT_EQ(stack.call(exec_load_sinonimi, {"S1", path, flag, "below"}), (Texts{"success", "below"})) << flag;
        if (first_statements.empty()) first_statements = lib.statements();
        EXPECT_EQ(lib.statements(), first_statements) << flag;
    }
    EXPECT_FALSE(first_statements.empty());
    // Without parameters the path is empty: nothing is loaded.
    lib.calls.clear();
    testing_support::ExportStack empty;
    EXPECT_EQ(empty.call(exec_load_sinonimi, {}), (Texts{"error"}));
    EXPECT_TRUE(lib.calls.empty());
}

}  // namespace
