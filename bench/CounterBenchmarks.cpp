#include "BenchCounter.h"
#include "Benchmarks.h"
#include "LocalPlatform.h"
#include "ProductLines.h"
#include "RecordingShell.h"
#include "ReferenceClient.h"
#include "ScriptedDialogs.h"

#include "api/CounterClient.h"
#include "api/HttpClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "api/WriteResult.h"
#include "counter/CounterRules.h"
#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/Coupons.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "members/Lookup.h"
#include "platform/Clock.h"
#include "settings/Settings.h"
#include "settings/Switches.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <chrono>
#include <rapidjson/document.h>

namespace {

const QString card = QStringLiteral("1010001");
const QString othercard = QStringLiteral("1010002");

// The limit of a lookup on this machine: the reference client (one libcurl easy handle kept across
// requests, the form post over HTTP/1.0 on a fresh connection with the counter's own header lines
// and body), then RapidJSON's Document::Parse of the reply.
class ReferenceLookup final
{
public:
    explicit ReferenceLookup(const QString& url) : m_client(url) {}

    // One lookup of the card; true when the reply holds the member.
    bool run(const QString& text = card)
    {
        if (!m_client.post(Lookup::requestline(text, LocalPlatform::demoidpharma())))
            return false;
        rapidjson::Document document;
        document.Parse(m_client.reply().data(), m_client.reply().size());
        return !document.HasParseError() && document.IsObject() && document.HasMember("FidelityMember");
    }

private:
    ReferenceClient m_client;
};

void reference(benchmark::State& state, const QString& url)
{
    ReferenceLookup lookup(url);
    for (auto _ : state) {
        if (!lookup.run()) {
            state.SkipWithError("la requête de référence n'a pas rendu le membre");
            break;
        }
    }
}

// The counter's client: the form post, then the reply read into JsonValue.
void client(benchmark::State& state, const QString& url)
{
    ReplyBuffer buffer;
    CounterClient counter(buffer, [url] { return url; });
    counter.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
    const QString line = Lookup::requestline(card, LocalPlatform::demoidpharma());
    for (auto _ : state) {
        const HttpReply reply = counter.postform(line);
        const std::optional<JsonValue> value = parsejson(ReplyBuffer::normalised(reply.body));
        if (!reply.ok || !value || !value->find("FidelityMember")) {
            state.SkipWithError("la recherche n'a pas rendu le membre");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
}

using Counter = BenchCounter;

// The whole lookup through the session: the member, then its coupons (two round trips).
void session(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    CounterSession session(counter.sessioncontext());
    counter.wire(session);
    for (auto _ : state) {
        const CounterOutcome found = session.lookup(card);
        if (!found.loaded || found.sent.size() != 2 || !found.told.empty()) {
            state.SkipWithError("la session n'a pas montré le membre et ses coupons");
            break;
        }
    }
}

// Paints pending for the window are done; true once `label` was painted since `painted` was reset.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the events until the label was painted; false when it never was.
bool waitforpaint(PaintWatch& watch)
{
    for (int round = 0; round < 1000 && !watch.painted; ++round)
        QCoreApplication::processEvents();
    return watch.painted;
}

// Enter in the search field to the counter window painted with the member and its coupons. The
// two members alternate, so that every lookup changes what is shown.
void enter(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    CounterWindow window(counter.windowcontext());
    counter.wire(window.session());
    window.show();
    QCoreApplication::processEvents();
    PaintWatch watch(window.lblnom());
    bool first = true;
    for (auto _ : state) {
        state.PauseTiming();
        window.search()->setText(first ? card : othercard);
        first = !first;
        QCoreApplication::processEvents();
        watch.painted = false;
        state.ResumeTiming();
        QTest::keyClick(window.search(), Qt::Key_Return);
        if (!waitforpaint(watch) || window.lblnom()->text().isEmpty()) {
            state.SkipWithError("la fenêtre n'a pas montré le membre");
            break;
        }
    }
}

// Seconds between two instants of the steady clock.
double seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// True when the reply is a JSON object whose first member is `name` (any name when null).
bool parsed(const std::string& reply, const char* name)
{
    rapidjson::Document document;
    document.Parse(reply.data(), reply.size());
    return !document.HasParseError() && document.IsObject() && document.MemberCount() > 0 &&
           (!name || document.MemberBegin()->name == name);
}

// A sale of two product lines, from "Valider Vente" to the member refreshed and painted. Each sale
// is held against the reference doing the same right after it, on the member as that sale left
// it: the sale's request, then the member and its coupons, each reply parsed. Both add an event to
// the member, whose whole history every lookup brings.
void sale(benchmark::State& state, const QString& url)
{
    using Clock = std::chrono::steady_clock;
    Counter counter(url);
    CounterWindow window(counter.windowcontext());
    counter.wire(window.session());
    window.show();
    window.setsearchtext(card);
    window.btsearchClick();
    QCoreApplication::processEvents();
    PaintWatch watch(window.encours());
    ReferenceClient reference(url);
    const QString memberid = window.state().currentmemberid();
    const QString idpharma = LocalPlatform::demoidpharma();
    const QString referencesale =
        Sale::requesttext(
            {memberid, idpharma, QStringLiteral("AB"), QStringLiteral("V1"), QStringLiteral("25,8"), {}}) +
        QStringLiteral("\r\n");
    double referencetime = 0;
    for (auto _ : state) {
        SaleLines& produits = window.state().Produits();
        storeLines(produits,
                   {{QStringLiteral("A100"), 2, 4.5, 9.0}, {QStringLiteral("B200"), 1, 16.8, 16.8}});
        QCoreApplication::processEvents();
        watch.painted = false;
        const Clock::time_point start = Clock::now();
        QTest::mouseClick(window.btnadd(), Qt::LeftButton);
        if (!waitforpaint(watch) || !counter.dialogs.texts().isEmpty() ||
            window.state().Produits().size() != 0) {
            state.SkipWithError("la vente n'a pas été enregistrée et montrée");
            break;
        }
        const Clock::time_point painted = Clock::now();
        state.SetIterationTime(seconds(start, painted));

        const Clock::time_point begun = Clock::now();
        if (!reference.put(referencesale) || !parsed(reference.reply(), "ApiReturn") ||
            !reference.post(Lookup::requestline(card, idpharma)) ||
            !parsed(reference.reply(), "FidelityMember") ||
            !reference.post(Coupons::queryline(idpharma, memberid, nowtext(counter.clock))) ||
            !parsed(reference.reply(), nullptr)) {
            state.SkipWithError("la vente de référence n'a pas été enregistrée et relue");
            break;
        }
        referencetime += seconds(begun, Clock::now());
    }
    state.counters["reference"] = benchmark::Counter(referencetime * 1e9, benchmark::Counter::kAvgIterations);
}

// The sale's request alone through the counter's client: what the platform takes to record it.
void salerequest(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    CounterSession session(counter.sessioncontext());
    counter.wire(session);
    session.lookup(card);
    const Sale::Request request{session.state().currentmemberid(),
                                LocalPlatform::demoidpharma(),
                                QStringLiteral("AB"),
                                QStringLiteral("V1"),
                                QStringLiteral("25,8"),
                                {}};
    const QString text = Sale::requesttext(request) + QStringLiteral("\r\n");
    for (auto _ : state) {
        const HttpReply reply = counter.client.httpput(text);
        if (!WriteResult::read(reply).recorded()) {
            state.SkipWithError("la vente n'a pas été enregistrée");
            break;
        }
    }
}

} // namespace

void registercounterbenchmarks(const LocalPlatform& platform)
{
    const QString url = platform.apiurl();
    benchmark::RegisterBenchmark(names::lookupReference, reference, url)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::lookupClient, client, url)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::lookupSession, session, url)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::lookupWindow, enter, url)->Unit(benchmark::kMillisecond);
    // Every sale adds an event to the member, which every lookup then brings: each sale is held
    // against a reference sale on the same member, measured right after it.
    benchmark::RegisterBenchmark(names::saleWindow, sale, url)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(200)
        ->UseManualTime();
    benchmark::RegisterBenchmark(names::saleRequest, salerequest, url)->Unit(benchmark::kMillisecond);
}
