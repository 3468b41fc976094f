#include "RatioReporter.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

double nanoseconds(double value, benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kSecond:
        return value * 1e9;
    case benchmark::kMillisecond:
        return value * 1e6;
    case benchmark::kMicrosecond:
        return value * 1e3;
    case benchmark::kNanosecond:
        break;
    }
    return value;
}

// "1.234 ms", "56.7 µs": the time in the unit that reads best.
std::string readable(double ns)
{
    char text[64];
    if (ns >= 1e6)
        std::snprintf(text, sizeof text, "%.3g ms", ns / 1e6);
    else if (ns >= 1e3)
        std::snprintf(text, sizeof text, "%.3g µs", ns / 1e3);
    else
        std::snprintf(text, sizeof text, "%.3g ns", ns);
    return text;
}

} // namespace

RatioReporter::RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void RatioReporter::ReportRuns(const std::vector<Run>& reports)
{
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred)
            continue;
        const double ns = nanoseconds(run.GetAdjustedRealTime(), run.time_unit);
        const std::string name = run.run_name.function_name;
        const auto known = m_realtimes.find(name);
        if (known != m_realtimes.end() && known->second <= ns)
            continue;
        m_realtimes[name] = ns;
        std::map<std::string, double>& counters = m_counters[name];
        counters.clear();
        for (const auto& [key, value] : run.counters)
            counters[key] = value.value;
    }
}

std::optional<double> RatioReporter::counter(const std::string& name, const std::string& counter) const
{
    const auto known = m_counters.find(name);
    if (known == m_counters.end())
        return std::nullopt;
    const auto value = known->second.find(counter);
    if (value == known->second.end())
        return std::nullopt;
    return value->second;
}

std::optional<double> RatioReporter::realtime(const std::string& name) const
{
    const auto known = m_realtimes.find(name);
    if (known == m_realtimes.end())
        return std::nullopt;
    return known->second;
}

void RatioReporter::summary(const std::vector<Ratio>& ratios, const std::vector<Time>& times,
                            const std::vector<std::string>& lines) const
{
    std::printf("\nRésultats (rapport = Quilba / référence, dans cette exécution)\n");
    for (const Ratio& ratio : ratios) {
        const std::optional<double> ours = realtime(ratio.ours);
        const std::optional<double> reference = ratio.referencecounter.empty()
                                                    ? realtime(ratio.reference)
                                                    : counter(ratio.reference, ratio.referencecounter);
        if (!ours || !reference || *reference <= 0) {
            std::printf("%s : non mesuré (objectif ≤ %.2g×)\n", ratio.label.c_str(), ratio.goal);
            continue;
        }
        const double limit = *reference * ratio.times;
        const double factor = *ours / limit;
        std::printf("%s : %.2f× (objectif ≤ %.2g×, %s contre %s) %s\n", ratio.label.c_str(), factor,
                    ratio.goal, readable(*ours).c_str(), readable(limit).c_str(),
                    factor <= ratio.goal ? "atteint" : "non atteint");
    }
    for (const Time& time : times) {
        const std::optional<double> measured = realtime(time.benchmark);
        if (measured)
            std::printf("%s : %s (temps seul, sans référence)\n", time.label.c_str(),
                        readable(*measured).c_str());
        else
            std::printf("%s : non mesuré\n", time.label.c_str());
    }
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
