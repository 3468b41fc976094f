#include "BenchPlatform.h"
#include "Benchmarks.h"
#include "LocalPlatform.h"
#include "RatioReporter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

// Runs every benchmark, then prints one line per figure: the ratio to its reference, measured in
// this same run, and the goal it is held to.
int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Windows and tickets are painted with fonts and pictures: that needs a GUI application, not
    // a screen. The programs started for the start-up figure inherit the same platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The build tree: quilba, quilba-platform and the bare Qt program are found from it.
    const QString bin = buildtree();
    LocalPlatform platform;
    QTemporaryDir work;
    if (!prepareplatform(platform, work))
        return 1;

    registerjsonbenchmarks();
    registertransportbenchmarks(platform);
    registercounterbenchmarks(platform);
    registerlinebenchmarks();
    registerstartupbenchmarks(bin);
    registerwindowbenchmarks();
    registerticketbenchmarks();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::vector<std::string> lines;
    const double gap = longesteventloopgap(platform);
    char line[256];
    if (gap < 0)
        std::snprintf(line, sizeof line,
                      "Boucle d'événements pendant une réponse de 2 s : non mesuré "
                      "(la requête a échoué)");
    else
        std::snprintf(line, sizeof line,
                      "Boucle d'événements pendant une réponse de 2 s : plus long écart %.1f ms "
                      "(objectif ≤ 50 ms) %s",
                      gap, gap <= 50 ? "atteint" : "non atteint");
    lines.emplace_back(line);

    reporter.summary(
        {
            {"JSON membre, 500 événements", names::memberQuilba, names::memberRapidjson, 1.5},
            {"JSON 10 000 membres", names::listQuilba, names::listRapidjson, 1.5},
            {"Recherche par carte, client du comptoir, requête à JsonValue (contre libcurl + RapidJSON)",
             names::lookupClient, names::lookupReference, 1.1},
            {"Recherche par la session, membre et coupons (contre 2 requêtes de référence)",
             names::lookupSession, names::lookupReference, 1.2, 2},
            {"Entrée dans la recherche à la fenêtre peinte (contre 2 requêtes de référence)",
             names::lookupWindow, names::lookupReference, 1.5, 2},
            {"Vente de deux lignes à la fenêtre peinte (contre la même vente et sa relecture par libcurl, "
             "sur le même membre)",
             names::saleWindow, names::saleWindow, 1.5, 1, "reference"},
            {"Recherche par carte, requête à réponse lue (contre la commande curl)", names::transportQuilba,
             names::transportCurl, 1.2},
            {"Démarrage jusqu'à la fenêtre du comptoir (contre Qt nu)", names::startupQuilba,
             names::startupBare, 1.5},
            {"Dialogue de choix, 10 000 membres contre 1 000", names::choice10000, names::choice1000, 12},
            {"Historique, 10 000 événements contre 1 000", names::history10000, names::history1000, 12},
        },
        {
            {"Ticket bon 7,50 € en PDF", names::ticketPdf},
            {"Requête de vente seule (enregistrement par la plateforme)", names::saleRequest},
        },
        lines);
    for (const std::string& figure : linebenchmarkfigures())
        std::printf("%s\n", figure.c_str());
    benchmark::Shutdown();
    return 0;
}
