// Splitting scripts into statements: a large update script must split in
// time linear in its length.
#include <benchmark/benchmark.h>

#include <string>

#include "db/script.h"

namespace {

// About `bytes` of INSERT statements, each ended by ";\r\n", some holding
// quoted texts and accented letters in Windows-1252.
std::string update_script(std::size_t bytes) {
    std::string script;
    script.reserve(bytes + 256);
    for (std::size_t n = 0; script.size() < bytes; ++n)
        script += "INSERT INTO tab_atc(atc_cod,atc_des) VALUES ('A" + std::to_string(n) +
                  "','Attivit\xe0 dell''adulto n. " + std::to_string(n) + "');\r\n";
    return script;
}

void BM_string2array(benchmark::State& state) {
    const std::string script = update_script(static_cast<std::size_t>(state.range(0)) << 20);
    tn::StrArray statements;
    for (auto _ : state) {
        tn::string2array(script, ";", statements);
        benchmark::DoNotOptimize(statements.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * script.size()));
    state.counters["statements"] = static_cast<double>(statements.size());
}
// 5 MB and 50 MB: the time per byte stays the same.
BENCHMARK(BM_string2array)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
