#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The console report of Google Benchmark, keeping the real time of every benchmark so that the
// summary can set each figure against its reference measured in the same run.
class RatioReporter final : public benchmark::ConsoleReporter
{
public:
    // One line of the summary: the figure ours / reference, and the goal it is held to.
    struct Ratio
    {
        std::string label;
        std::string ours;
        std::string reference;
        double goal;
        // How many runs of the reference the figure is held against (two requests, three…).
        double times = 1;
        // When set, the reference is this counter of the benchmark `reference` (nanoseconds per
        // iteration), measured beside it in the same loop, rather than its time.
        std::string referencecounter = {};
    };
    // One line that reports a time alone.
    struct Time
    {
        std::string label;
        std::string benchmark;
    };

    // Colours only on a terminal: a report written to a file stays plain text.
    RatioReporter();

    void ReportRuns(const std::vector<Run>& reports) override;

    // The real time of one iteration in nanoseconds (the best of its repetitions), when it ran.
    std::optional<double> realtime(const std::string& name) const;
    // A counter of that benchmark, from the repetition whose time counts.
    std::optional<double> counter(const std::string& name, const std::string& counter) const;

    // Prints one line per figure: "JSON 10 000 membres : 1.20× (objectif ≤ 1.5×)", then the
    // lines of the figures measured outside Google Benchmark.
    void summary(const std::vector<Ratio>& ratios, const std::vector<Time>& times,
                 const std::vector<std::string>& lines = {}) const;

private:
    std::map<std::string, double> m_realtimes;
    std::map<std::string, std::map<std::string, double>> m_counters;
};
