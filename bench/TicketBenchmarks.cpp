#include "Benchmarks.h"

#include "counter/Tickets.h"
#include "platform/Clock.h"
#include "report/PdfReportOutput.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void ticketpdf(benchmark::State& state)
{
    const SystemClock clock;
    const Tickets tickets(clock);
    const Tickets::Member member{QStringLiteral("Hélène"), QStringLiteral("LEFÈVRE"),
                                 QStringLiteral("2500000100060"), QStringLiteral("Mme Hélène LEFÈVRE")};
    const Tickets::Coupon coupon{QStringLiteral("TRK500123"), QStringLiteral("30/06/2019"),
                                 QStringLiteral("7.5")};
    const QStringList pharmacie{QStringLiteral("Pharmacie du Marché"), QStringLiteral("1 place du Marché"),
                                QString(), QStringLiteral("35000"), QStringLiteral("Rennes")};
    QTemporaryDir folder;
    if (!folder.isValid()) {
        state.SkipWithError("dossier temporaire impossible à créer");
        return;
    }
    PdfReportOutput output(folder.path());
    for (auto _ : state) {
        if (!tickets.printcoupon(member, coupon, pharmacie, output)) {
            state.SkipWithError("le ticket n'a pas été écrit");
            break;
        }
        // Each print takes the first free file name: remove the file so every print is the same.
        state.PauseTiming();
        QFile::remove(output.lastfile());
        state.ResumeTiming();
    }
}

} // namespace

void registerticketbenchmarks()
{
    benchmark::RegisterBenchmark(names::ticketPdf, ticketpdf)->Unit(benchmark::kMillisecond);
}
