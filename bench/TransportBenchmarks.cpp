#include "Benchmarks.h"
#include "LocalPlatform.h"

#include "api/CounterClient.h"
#include "api/HttpClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "app/WaitIndicator.h"
#include "members/Lookup.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <benchmark/benchmark.h>

namespace {

const QString card = QStringLiteral("1010001");

// The counter's client as start-up configures it, with the demo account's Authorization header.
struct Counter
{
    explicit Counter(const QString& url) : client(buffer, [url] { return url; })
    {
        client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
    }
    ReplyBuffer buffer;
    CounterClient client;
};

void transportquilba(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    const QString line = Lookup::requestline(card, LocalPlatform::demoidpharma());
    for (auto _ : state) {
        const HttpReply reply = counter.client.postform(line);
        const std::optional<JsonValue> value = parsejson(ReplyBuffer::normalised(reply.body));
        if (!reply.ok || !value || !value->find("FidelityMember")) {
            state.SkipWithError("la recherche n'a pas rendu le membre");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
}

void transportcurl(benchmark::State& state, const QString& url)
{
    const QByteArray body = HttpClient::formencode(Lookup::requestline(card, LocalPlatform::demoidpharma()));
    const QStringList arguments{
        QStringLiteral("--silent"),
        QStringLiteral("--show-error"),
        QStringLiteral("--http1.0"),
        QStringLiteral("--header"),
        QStringLiteral("Authorization: ") + QString::fromLatin1(LocalPlatform::demoauthorization()),
        QStringLiteral("--header"),
        QStringLiteral("Content-Type: application/x-www-form-urlencoded"),
        QStringLiteral("--data-binary"),
        QString::fromLatin1(body),
        url,
    };
    for (auto _ : state) {
        QProcess curl;
        curl.start(QStringLiteral("curl"), arguments);
        if (!curl.waitForFinished(30000) || curl.exitCode() != 0 ||
            !curl.readAllStandardOutput().contains("\"FidelityMember\"")) {
            state.SkipWithError("la commande curl n'a pas rendu le membre");
            break;
        }
    }
}

} // namespace

void registertransportbenchmarks(const LocalPlatform& platform)
{
    const QString url = platform.apiurl();
    benchmark::RegisterBenchmark(names::transportQuilba, transportquilba, url)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::transportCurl, transportcurl, url)->Unit(benchmark::kMillisecond);
}

double longesteventloopgap(LocalPlatform& platform)
{
    platform.admin("POST", QStringLiteral("faults"),
                   R"({"action":"delay","delay_ms":2000,"path":"/apiv1/","count":1})");
    Counter counter(platform.apiurl());
    const QString line = Lookup::requestline(card, LocalPlatform::demoidpharma());
    // The wait as the counter shows it: the bar after half a second, input filtered.
    QWidget window;
    window.resize(557, 380);
    window.show();
    WaitIndicator indicator(&window);
    counter.client.client().setwaitobserver(&indicator);

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    ticks.start();
    const HttpReply reply = counter.client.postform(line);
    const qint64 end = clock.nsecsElapsed();
    ticks.stop();
    longest = std::max(longest, end - last);
    // A reply that did not wait is no measure of the wait.
    if (!reply.ok || end < 2'000'000'000)
        return -1;
    return static_cast<double>(longest) / 1e6;
}
