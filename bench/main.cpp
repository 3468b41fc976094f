#include "Benchmarks.h"
#include "RatioReporter.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

// Runs every benchmark, then prints one line per figure: the ratio to its reference, measured in
// this same run, and the goal it is held to.
int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // The tickets are painted with fonts and pictures: that needs a GUI application, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    registerjsonbenchmarks();
    registerticketbenchmarks();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.summary(
        {
            {"JSON membre, 500 événements", names::memberQuilba, names::memberRapidjson, 1.5},
            {"JSON 10 000 membres", names::listQuilba, names::listRapidjson, 1.5},
        },
        {
            {"Ticket bon 7,50 € en PDF", names::ticketPdf},
        });
    benchmark::Shutdown();
    return 0;
}
