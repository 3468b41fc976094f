#include "Benchmarks.h"
#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/CounterClient.h"
#include "api/HttpClient.h"
#include "api/JsonValue.h"
#include "api/WriteResult.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/Sale.h"
#include "data/MemoryTable.h"
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
#include <curl/curl.h>
#include <rapidjson/document.h>

namespace {

const QString card = QStringLiteral("1010001");
const QString othercard = QStringLiteral("1010002");

// The limit of a lookup on this machine: one libcurl easy handle kept across requests, the form
// post over HTTP/1.0 on a fresh connection with the counter's own header lines and body, then
// RapidJSON's Document::Parse of the reply.
class ReferenceLookup final
{
public:
    explicit ReferenceLookup(const QString& url)
        : m_curl(curl_easy_init()), m_url(url.toUtf8()),
          m_body(HttpClient::formencode(Lookup::requestline(card, LocalPlatform::demoidpharma())))
    {
        const QByteArray host = "Host: " + QUrl(url).authority().toUtf8();
        const HttpClient::Profile profile = CounterClient::profile();
        const QByteArrayList lines{QByteArray("Connection: keep-alive"),
                                   QByteArray("Content-Type: application/x-www-form-urlencoded"),
                                   QByteArray("Content-Length: " + QByteArray::number(m_body.size())),
                                   QByteArray("Authorization: " + LocalPlatform::demoauthorization()),
                                   QByteArray("Host:"),
                                   host,
                                   QByteArray("Accept: " + profile.accept),
                                   QByteArray("Accept-Charset: " + profile.acceptcharset),
                                   QByteArray("Accept-Encoding: identity"),
                                   QByteArray("User-Agent: " + profile.useragent),
                                   QByteArray("Expect:")};
        for (const QByteArray& line : lines)
            m_headers = curl_slist_append(m_headers, line.constData());
        curl_easy_setopt(m_curl, CURLOPT_URL, m_url.constData());
        curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, m_headers);
        curl_easy_setopt(m_curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
        curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, m_body.constData());
        curl_easy_setopt(m_curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_body.size()));
        curl_easy_setopt(m_curl, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &ReferenceLookup::onbody);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &m_reply);
    }
    ~ReferenceLookup()
    {
        curl_slist_free_all(m_headers);
        curl_easy_cleanup(m_curl);
    }
    ReferenceLookup(const ReferenceLookup&) = delete;
    ReferenceLookup& operator=(const ReferenceLookup&) = delete;

    // One lookup; true when the reply holds the member.
    bool run()
    {
        m_reply.clear();
        if (curl_easy_perform(m_curl) != CURLE_OK)
            return false;
        rapidjson::Document document;
        document.Parse(m_reply.data(), m_reply.size());
        return !document.HasParseError() && document.IsObject() && document.HasMember("FidelityMember");
    }

private:
    static size_t onbody(char* data, size_t size, size_t count, void* reply)
    {
        static_cast<std::string*>(reply)->append(data, size * count);
        return size * count;
    }

    CURL* m_curl;
    curl_slist* m_headers = nullptr;
    QByteArray m_url;
    QByteArray m_body;
    std::string m_reply;
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

// What the counter works with, on the first demo pharmacy of the platform.
struct Counter
{
    explicit Counter(const QString& url)
        : settings(work.path() + u'/'), client(buffer, [this] { return settings.url(); })
    {
        Settings::Values values;
        values.apikey = LocalPlatform::demoapikey();
        values.login = LocalPlatform::demologin();
        values.password = LocalPlatform::demopassword();
        values.idpharma = LocalPlatform::demoidpharma();
        values.url = url;
        settings.write(values);
        settings.setauthorization(client.client());
    }
    CounterSession::Context sessioncontext() { return {client, buffer, settings, dialogs, clock}; }
    CounterWindow::Context windowcontext()
    {
        return {client, buffer, settings, dialogs, shell, clock, switches};
    }

    QTemporaryDir work;
    Settings settings;
    ReplyBuffer buffer;
    CounterClient client;
    ScriptedDialogs dialogs;
    SystemClock clock;
    Switches switches{QStringList{QStringLiteral("quilba")}};
    RecordingShell shell;
};

// The whole lookup through the session: the member, then its coupons (two round trips).
void session(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    CounterSession session(counter.sessioncontext());
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

// A sale of two product lines, from "Valider Vente" to the member refreshed and painted.
void sale(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    CounterWindow window(counter.windowcontext());
    window.show();
    window.setsearchtext(card);
    window.btsearchClick();
    QCoreApplication::processEvents();
    PaintWatch watch(window.encours());
    for (auto _ : state) {
        state.PauseTiming();
        MemoryTable& produits = window.state().Produits();
        produits.appendrow({QStringLiteral("A100"), 2, 4.5, 9.0});
        produits.appendrow({QStringLiteral("B200"), 1, 16.8, 16.8});
        window.amountfromlines();
        QCoreApplication::processEvents();
        watch.painted = false;
        state.ResumeTiming();
        QTest::mouseClick(window.btnadd(), Qt::LeftButton);
        if (!waitforpaint(watch) || !counter.dialogs.texts().isEmpty() ||
            window.state().Produits().rowCount() != 0) {
            state.SkipWithError("la vente n'a pas été enregistrée et montrée");
            break;
        }
    }
}

// The sale's request alone through the counter's client: what the platform takes to record it.
void salerequest(benchmark::State& state, const QString& url)
{
    Counter counter(url);
    CounterSession session(counter.sessioncontext());
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
    // Every sale adds an event to the member, which every lookup then brings: the sale runs a fixed
    // number of times, and the reference is measured again on the member as the sales left it.
    benchmark::RegisterBenchmark(names::saleWindow, sale, url)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(200);
    benchmark::RegisterBenchmark(names::lookupReferenceAfter, reference, url)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::saleRequest, salerequest, url)->Unit(benchmark::kMillisecond);
}
