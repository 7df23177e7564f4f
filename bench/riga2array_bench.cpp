// Splitting update data lines: the table loader's inner loop.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "update/data_line.h"

namespace {

// Lines shaped like those of the drug and exam catalogues: 30 values, codes
// and numbers bare, descriptions quoted with commas and doubled quotes,
// empty values and (NULL), a time stamp.
std::vector<std::string> reference_lines(std::size_t count) {
    std::mt19937 random(42);
    const char* const words[] = {"compresse", "rivestite", "con", "film", "dell'adulto", "mg", "flaconcino",
                                 "sospensione", "orale", "uso", "pediatrico", "O'Brien", "soluzione,", "10%"};
    auto text = [&](int words_wanted) {
        std::string value = "'";
        for (int w = 0; w < words_wanted; ++w) {
            if (w) value += ' ';
            for (const char* c = words[random() % std::size(words)]; *c; ++c) {
                value += *c;
                if (*c == '\'') value += '\'';
            }
        }
        return value + "'";
    };
    std::vector<std::string> lines;
    for (std::size_t n = 0; n < count; ++n) {
        std::string line(1, 'A');
        line += std::to_string(100000 + n);
        for (int v = 1; v < 30; ++v) {
            line += ',';
            switch (v % 6) {
                case 0: line += text(2 + static_cast<int>(random() % 8)); break;
                case 1: line += std::to_string(random() % 100000); break;
                case 2: break;
                case 3: line += text(1); break;
                case 4: line += v % 4 ? "(NULL)" : "'2010-05-03 10:00:00.000000'"; break;
                default: line += std::to_string(random() % 1000) + "." + std::to_string(random() % 100); break;
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void BM_riga2array(benchmark::State& state) {
    const auto lines = reference_lines(1000);
    std::int64_t bytes = 0;
    for (const auto& line : lines) bytes += static_cast<std::int64_t>(line.size());
    tn::StrArray entries;
    for (auto _ : state) {
        for (const auto& line : lines) {
            tn::riga2array(line, entries);
            benchmark::DoNotOptimize(entries.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["bytes_per_line"] = static_cast<double>(bytes) / static_cast<double>(lines.size());
}
BENCHMARK(BM_riga2array);

// A fresh list per line, as a caller that keeps no list between lines pays.
void BM_riga2array_new_list(benchmark::State& state) {
    const auto lines = reference_lines(1000);
    std::int64_t bytes = 0;
    for (const auto& line : lines) bytes += static_cast<std::int64_t>(line.size());
    for (auto _ : state) {
        for (const auto& line : lines) {
            auto entries = tn::riga2array(line);
            benchmark::DoNotOptimize(entries.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_riga2array_new_list);

}  // namespace

BENCHMARK_MAIN();
