// SPDX-License-Identifier: Apache-2.0
#include "summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace certmgr_bench {

double P90(const std::vector<double>& values) {
    if (values.empty()) {
        return 0.0;
    }
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

namespace {

double MillisecondsPer(benchmark::TimeUnit unit) {
    switch (unit) {
        case benchmark::kNanosecond:
            return 1e-6;
        case benchmark::kMicrosecond:
            return 1e-3;
        case benchmark::kMillisecond:
            return 1.0;
        case benchmark::kSecond:
            return 1e3;
    }
    return 1.0;
}

}  // namespace

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
    benchmark::ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Aggregate) {
            continue;
        }
        const double ms = run.GetAdjustedRealTime() * MillisecondsPer(run.time_unit);
        auto& figures = m_figures[{run.run_name.function_name, run.run_name.args}];
        if (run.aggregate_name == "median") {
            figures.first = ms;
            for (const auto& [name, counter] : run.counters) {
                m_steps[run.run_name.args][name] = counter.value;
            }
        } else if (run.aggregate_name == "p90") {
            figures.second = ms;
        }
    }
}

void SummaryReporter::Finalize() {
    benchmark::ConsoleReporter::Finalize();
    std::set<std::string> lengths;
    for (const auto& [key, figures] : m_figures) {
        lengths.insert(key.second);
    }
    std::printf("\nSummary (wall-clock milliseconds, median / p90)\n");
    std::printf("%-6s %-20s %-20s %-20s %-20s %-20s %s\n", "bits", "keygen 1 thread", "keygen component",
                "self-signed run", "issued run", "besides keygen", "speed-up median / p90");
    for (const std::string& bits : lengths) {
        auto figure = [&](const char* name) {
            const auto found = m_figures.find({name, bits});
            return found == m_figures.end() ? std::make_pair(0.0, 0.0) : found->second;
        };
        auto cell = [](std::pair<double, double> value) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1f / %.1f", value.first, value.second);
            return std::string(text);
        };
        const auto floor = figure("BM_KeygenOneThread");
        const auto raced = figure("BM_KeygenComponent");
        std::printf("%-6s %-20s %-20s %-20s %-20s %-20s %.2fx / %.2fx\n", bits.c_str(), cell(floor).c_str(),
                    cell(raced).c_str(), cell(figure("BM_SelfSignedRun")).c_str(),
                    cell(figure("BM_IssuedRun")).c_str(), cell(figure("BM_WorkBesidesKeygen")).c_str(),
                    raced.first > 0 ? floor.first / raced.first : 0.0,
                    raced.second > 0 ? floor.second / raced.second : 0.0);
    }
    std::printf(
        "\nWork besides key generation, median of each step (ms): build and sign / PKCS #12 / write\n");
    for (const auto& entry : m_steps) {
        const std::string& bits = entry.first;
        const auto& steps = entry.second;
        // Named, not bound: Clang 14 cannot capture a structured binding in a lambda.
        auto step = [&steps](const char* name) {
            const auto found = steps.find(name);
            return found == steps.end() ? 0.0 : found->second;
        };
        if (steps.count("write_ms") != 0) {
            std::printf("%-6s %.2f / %.2f / %.2f\n", bits.c_str(), step("build_sign_ms"), step("pkcs12_ms"),
                        step("write_ms"));
        }
    }
    if (const auto load = m_figures.find({"BM_LoadSigningFile", "2048"}); load != m_figures.end()) {
        std::printf("\nLoading a 2048-bit signing file (ms, median / p90): %.2f / %.2f\n", load->second.first,
                    load->second.second);
    }
}

}  // namespace certmgr_bench
