// The table loader on the embedded SQLite default, through the real
// data-connection stand-in: a generated exam catalogue (tab_acc) loaded into
// an empty table and again over a full one, forced and unforced.
//
// Each load runs in a child process of its own, so that its peak memory is
// its own.  The same load is recorded once (every statement and query that the
// loader sends, with its commits) and the recording is replayed by the sqlite3
// shell on the same starting database: `vs_sqlite3` is the load's time over
// the shell's.  Counters: lines_per_s, peak_MiB (the child's peak resident
// size), vs_sqlite3.
//
// The same loads run against PostgreSQL when TN_DATA_CONNECTION names a
// database there, with PGHOST/PGPORT/PGUSER for psql (scripts/postgres.sh sets
// both; scripts/bench.sh starts a private server for it).  Each PostgreSQL load
// runs on a fresh copy (CREATE DATABASE ... TEMPLATE) of an empty or a full
// starting database made from the named one; counters lines_per_s, peak_MiB.
// The SQLite loads never see TN_DATA_CONNECTION.
//
// Environment: TN_STANDIN_DIR (default: the build's standin/ folder beside
// this program), TN_BENCH_LINES (default 100000), TN_BENCH_BIG_LINES (the
// streamed-memory case, default 1000000; 0 leaves it out),
// TN_DATA_CONNECTION (see above).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "../standin/statements.h"
#include "db/api.h"
#include "toolkit/headless/headless.h"
#include "update/loader.h"

namespace fs = std::filesystem;

namespace {

fs::path self_dir() { return fs::canonical("/proc/self/exe").parent_path(); }

long env_number(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

struct Setup {
    fs::path work;       // temporary folder of this run
    fs::path standin;    // libvorovuro.so, practice_sqlite.so
    fs::path schema;     // practice_sqlite.sql
    std::map<std::string, fs::path> files;
    std::map<std::string, fs::path> databases;
};

Setup& setup() {
    static Setup s;
    return s;
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// One catalogue line: 27 values, texts with commas, quotes and an accented
// letter (Windows-1252), NULLs, a stamp.
void write_catalogue(const fs::path& path, long lines, const char* stamp, int price) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) throw std::runtime_error("cannot write " + path.string());
    for (long i = 0; i < lines; ++i) {
        const char* status = i % 10 == 0 ? "A" : "O";
        std::fprintf(out,
                     "R%07ld,'C%ld','Esame n. %ld, prelievo dell''avambraccio (citt\xE0)',G%ld,S,'LAB',%s,%d.50,%s,"
                     "'Esame n. %ld, prelievo dell''avambraccio (citt\xE0)',%d.50,'LAB',S,'%03ld','89.%04ld',,0,120,"
                     "15,%d.00,(NULL),'RG%ld','AMB',S,%ld,'%s','E%ld'\r\n",
                     i, i, i, i % 50, i % 7 == 0 ? "'N.1'" : "", price, status, i, price, i % 100, i % 10000, price / 2,
                     i, i, stamp, i);
    }
    std::fclose(out);
}

// ---- recording what the loader sends ------------------------------------------

std::FILE* recording = nullptr;
API_IU_sql_exec_fn real_exec;
API_IU_sql_into_fn real_into;

void record(const char* text) {
    // The stand-in's own cutting, so that the shell runs the very statements
    // the data connection runs; a commit ends one transaction and opens the next.
    standin::for_each_statement(text, [](std::string_view piece) {
        if (standin::is_word(piece, "commit")) {
            std::fputs("COMMIT;\nBEGIN;\n", recording);
        } else {
            std::fwrite(piece.data(), 1, piece.size(), recording);
            std::fputs(";\n", recording);
        }
    });
}

extern "C" {
std::int32_t recording_exec(DataConnection connection, const char* statement) {
    record(statement);
    return real_exec(connection, statement);
}
const char* recording_into(DataConnection connection, const char* statement, std::int32_t* status) {
    record(statement);
    return real_into(connection, statement, status);
}
}

// Runs `work` in a child process in `folder`; gives its seconds and peak MiB.
std::pair<double, double> in_child(const fs::path& folder, const std::function<double()>& work) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe");
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        double seconds = -1;
        if (chdir(folder.c_str()) == 0) {
            try {
                seconds = work();
            } catch (...) {
            }
        }
        (void)!write(channel[1], &seconds, sizeof seconds);
        _exit(seconds < 0 ? 1 : 0);
    }
    close(channel[1]);
    double seconds = -1;
    (void)!read(channel[0], &seconds, sizeof seconds);
    close(channel[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    if (seconds < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("child failed");
    return {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double timed_load(const std::string& file, bool force) {
    const auto start = std::chrono::steady_clock::now();
    const std::string result = tn::load_table_data("tab_acc", file, "", force);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != "success") throw std::runtime_error("load gave " + result);
    return seconds;
}

// A fresh folder holding a copy of the named starting database as tarvenix.db.
fs::path stage(const std::string& name, const std::string& database) {
    const fs::path folder = setup().work / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (!database.empty()) fs::copy_file(setup().databases.at(database), folder / "tarvenix.db");
    return folder;
}

void prepare(long lines) {
    Setup& s = setup();
    if (!s.work.empty()) return;
    if (!std::getenv("TN_STANDIN_DIR")) setenv("TN_STANDIN_DIR", (self_dir().parent_path() / "standin").c_str(), 1);
    s.standin = std::getenv("TN_STANDIN_DIR");
    s.schema = self_dir().parent_path().parent_path().parent_path() / "standin" / "sql" / "practice_sqlite.sql";
    if (const char* source = std::getenv("TN_SOURCE_DIR")) s.schema = fs::path(source) / "standin/sql/practice_sqlite.sql";
    char pattern[] = "/tmp/tn-loader-bench.XXXXXX";
    s.work = mkdtemp(pattern);

    s.files["v1"] = s.work / "tab_acc_v1.txt";
    s.files["v2"] = s.work / "tab_acc_v2.txt";
    write_catalogue(s.files["v1"], lines, "2013-01-01 00:00:00.000000", 20);
    write_catalogue(s.files["v2"], lines, "2014-01-01 00:00:00.000000", 22);

    const fs::path empty = stage("empty", "");
    run("sqlite3 " + (empty / "tarvenix.db").string() + " < " + s.schema.string());
    s.databases["empty"] = empty / "tarvenix.db";
    const fs::path full = stage("full", "empty");
    in_child(full, [&] { return timed_load(s.files["v1"].string(), false); });
    s.databases["full"] = full / "tarvenix.db";
}

// The sqlite3 shell's seconds for the statements the load sent.
double shell_seconds(const std::string& database, const std::string& file, bool force) {
    const fs::path record_folder = stage("record", database);
    const fs::path stream = setup().work / "stream.sql";
    in_child(record_folder, [&] {
        recording = std::fopen(stream.c_str(), "wb");
        std::fprintf(recording, ".load %s\nBEGIN;\n", (setup().standin / "practice_sqlite.so").c_str());
        void* library = dlopen((setup().standin / "libvorovuro.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        void* auxiliary = dlopen((setup().standin / "libvelt32w0.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library || !auxiliary) return -1.0;
        real_exec = reinterpret_cast<API_IU_sql_exec_fn>(dlsym(library, "API_IU_sql_exec"));
        real_into = reinterpret_cast<API_IU_sql_into_fn>(dlsym(library, "API_IU_sql_into"));
        toolkit::headless::register_library(
            "vorovuro.dll", toolkit::headless::FunctionTable{
                                {"API_create_default_data_connection", dlsym(library, "API_create_default_data_connection")},
                                {"API_DCN_destroy", dlsym(library, "API_DCN_destroy")},
                                {"API_IU_sql_exec", reinterpret_cast<void*>(&recording_exec)},
                                {"API_IU_sql_into", reinterpret_cast<void*>(&recording_into)},
                                {"API_DCN_get_last_error", dlsym(library, "API_DCN_get_last_error")}});
        const double seconds = timed_load(file, force);
        std::fputs("COMMIT;\n", recording);
        std::fclose(recording);
        return seconds;
    });
    const fs::path replay_folder = stage("replay", database);
    return in_child(replay_folder, [&] {
               const auto start = std::chrono::steady_clock::now();
               const std::string command = "sqlite3 -batch tarvenix.db < " + stream.string() + " > /dev/null 2>&1";
               if (std::system(command.c_str()) != 0) return -1.0;
               return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
           })
        .first;
}

void load_benchmark(benchmark::State& state, const std::string& database, const std::string& file, bool force,
                    bool compare) {
    const long lines = env_number("TN_BENCH_LINES", 100000);
    try {
        prepare(lines);
        for (auto _ : state) {
            const fs::path folder = stage("load", database);
            const auto [seconds, peak] = in_child(folder, [&] { return timed_load(setup().files.at(file).string(), force); });
            state.SetIterationTime(seconds);
            state.counters["lines_per_s"] = static_cast<double>(lines) / seconds;
            state.counters["peak_MiB"] = peak;
            if (compare) state.counters["vs_sqlite3"] = seconds / shell_seconds(database, setup().files.at(file).string(), force);
        }
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}

// The streamed file: peak memory of a load ten times the size.
void big_load(benchmark::State& state) {
    const long lines = env_number("TN_BENCH_BIG_LINES", 1000000);
    try {
        prepare(env_number("TN_BENCH_LINES", 100000));
        const fs::path big = setup().work / "tab_acc_big.txt";
        write_catalogue(big, lines, "2013-01-01 00:00:00.000000", 20);
        for (auto _ : state) {
            const auto [seconds, peak] = in_child(stage("big", "empty"), [&] { return timed_load(big.string(), false); });
            state.SetIterationTime(seconds);
            state.counters["lines_per_s"] = static_cast<double>(lines) / seconds;
            state.counters["peak_MiB"] = peak;
        }
        fs::remove(big);
        fs::remove_all(setup().work / "big");
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}

// ---- the same loads on PostgreSQL ----------------------------------------------

struct Postgres {
    std::string connection;  // TN_DATA_CONNECTION as given
    std::string source;      // its database: the practice objects, no data
    bool prepared = false;
    std::vector<std::string> made;  // databases of ours, dropped at the end
};

Postgres& postgres() {
    static Postgres p;
    return p;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The connection string with its Database= value replaced (or added); with
// `found`, the value it had.
std::string with_database(const std::string& connection, const std::string& database, std::string* found = nullptr) {
    const std::string folded = lower(connection);
    std::size_t start = 0;
    while (start < connection.size()) {
        std::size_t end = connection.find(';', start);
        if (end == std::string::npos) end = connection.size();
        const std::size_t equals = folded.find('=', start);
        if (equals != std::string::npos && equals < end) {
            std::string key = folded.substr(start, equals - start);
            key.erase(0, key.find_first_not_of(' '));
            key.erase(key.find_last_not_of(' ') + 1);
            if (key == "database") {
                if (found) *found = connection.substr(equals + 1, end - equals - 1);
                return connection.substr(0, equals + 1) + database + connection.substr(end);
            }
        }
        start = end + 1;
    }
    std::string text = connection;
    if (!text.empty() && text.back() != ';') text += ';';
    return text + "Database=" + database + ";";
}

void psql(const std::string& sql) {
    run("PGOPTIONS='-c client_min_messages=warning' psql -X -q -v ON_ERROR_STOP=1 -d postgres -c '" + sql +
        "' >/dev/null");
}

// A fresh database `name`, a copy of `from`.
void copy_database(const std::string& name, const std::string& from) {
    psql("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    psql("CREATE DATABASE " + name + " TEMPLATE " + from);
    Postgres& p = postgres();
    if (std::find(p.made.begin(), p.made.end(), name) == p.made.end()) p.made.push_back(name);
}

// The load run in a child whose data connection is the named database.
std::pair<double, double> postgres_load(const std::string& database, const fs::path& file, bool force) {
    const std::string connection = with_database(postgres().connection, database);
    return in_child(stage("postgresql", ""), [&] {
        setenv("TN_DATA_CONNECTION", connection.c_str(), 1);
        return timed_load(file.string(), force);
    });
}

void prepare_postgresql(long lines) {
    prepare(lines);
    Postgres& p = postgres();
    if (p.prepared) return;
    copy_database("tn_bench_empty", p.source);
    copy_database("tn_bench_full", "tn_bench_empty");
    postgres_load("tn_bench_full", setup().files.at("v1"), false);
    p.prepared = true;
}

void postgres_benchmark(benchmark::State& state, const std::string& database, const std::string& file, bool force) {
    const long lines = env_number("TN_BENCH_LINES", 100000);
    try {
        prepare_postgresql(lines);
        for (auto _ : state) {
            copy_database("tn_bench_load", "tn_bench_" + database);
            const auto [seconds, peak] = postgres_load("tn_bench_load", setup().files.at(file), force);
            state.SetIterationTime(seconds);
            state.counters["lines_per_s"] = static_cast<double>(lines) / seconds;
            state.counters["peak_MiB"] = peak;
        }
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}

void drop_postgres_databases() {
    for (const auto& name : postgres().made) {
        try {
            psql("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        } catch (const std::exception&) {
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The SQLite loads run on the embedded default, whatever the caller's
    // environment names; the named database is for the PostgreSQL loads.
    if (const char* named = std::getenv("TN_DATA_CONNECTION"); named && *named) {
        postgres().connection = named;
        postgres().source = "tarvenix";
        with_database(named, "", &postgres().source);
        unsetenv("TN_DATA_CONNECTION");
    }
    const auto add = [](const char* name, const char* database, const char* file, bool force) {
        benchmark::RegisterBenchmark(name, [=](benchmark::State& state) { load_benchmark(state, database, file, force, true); })
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    };
    add("tab_acc/empty_table/unforced", "empty", "v1", false);
    add("tab_acc/empty_table/forced", "empty", "v1", true);
    add("tab_acc/full_table_newer_lines/unforced", "full", "v2", false);
    add("tab_acc/full_table_same_lines/forced", "full", "v1", true);
    if (env_number("TN_BENCH_BIG_LINES", 1000000) > 0)
        benchmark::RegisterBenchmark("tab_acc/empty_table/unforced/ten_times_the_lines", big_load)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    if (!postgres().connection.empty()) {
        const auto add_postgres = [](const char* name, const char* database, const char* file, bool force) {
            benchmark::RegisterBenchmark(name, [=](benchmark::State& state) {
                postgres_benchmark(state, database, file, force);
            })
                ->Iterations(1)
                ->UseManualTime()
                ->Unit(benchmark::kSecond);
        };
        add_postgres("postgresql/tab_acc/empty_table/unforced", "empty", "v1", false);
        add_postgres("postgresql/tab_acc/empty_table/forced", "empty", "v1", true);
        add_postgres("postgresql/tab_acc/full_table_newer_lines/unforced", "full", "v2", false);
        add_postgres("postgresql/tab_acc/full_table_same_lines/forced", "full", "v1", true);
    }
    benchmark::RunSpecifiedBenchmarks();
    drop_postgres_databases();
    if (!setup().work.empty()) fs::remove_all(setup().work);
    benchmark::Shutdown();
    return 0;
}
