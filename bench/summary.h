// SPDX-License-Identifier: Apache-2.0
// Prints the usual table, then the figures that matter side by side: median and p90 of each step
// per key length, and the speed-up of the raced key generation over one thread.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>

namespace certmgr_bench {

// The 90th percentile by the nearest-rank method.
double P90(const std::vector<double>& values);

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    // (benchmark, key bits) -> (median, p90) in milliseconds
    std::map<std::pair<std::string, std::string>, std::pair<double, double>> m_figures;
    // key bits -> the median of each step's counter of the work besides key generation
    std::map<std::string, std::map<std::string, double>> m_steps;
};

}  // namespace certmgr_bench
