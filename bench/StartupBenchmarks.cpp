#include "Benchmarks.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

// Launches the program with QUILBA_STARTUP_PROBE until it reports its window painted; the time
// from launch to that instant is the iteration's time (the program's exit is not counted).
void startup(benchmark::State& state, const QString& program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILBA_STARTUP_PROBE"), QStringLiteral("1"));
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        const auto launched = std::chrono::steady_clock::now().time_since_epoch();
        process.start(program, {});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            state.SkipWithError("le programme ne s'est pas arrêté seul une fois sa fenêtre affichée");
            break;
        }
        const QByteArray out = process.readAllStandardOutput();
        const qsizetype at = out.indexOf("fenetre-affichee ");
        if (at < 0) {
            state.SkipWithError("le programme n'a pas signalé sa fenêtre affichée");
            break;
        }
        const qsizetype from = at + qsizetype(sizeof "fenetre-affichee ") - 1;
        const long long shown = out.mid(from, out.indexOf('\n', from) - from).toLongLong();
        const long long elapsed =
            shown - std::chrono::duration_cast<std::chrono::nanoseconds>(launched).count();
        state.SetIterationTime(static_cast<double>(elapsed) / 1e9);
    }
}

} // namespace

void registerstartupbenchmarks(const QString& bindir)
{
    benchmark::RegisterBenchmark(names::startupQuilba, startup,
                                 QString(bindir + QStringLiteral("/src/app/quilba")))
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::startupBare, startup,
                                 QString(bindir + QStringLiteral("/bench/quilba-bench-bare")))
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
}
