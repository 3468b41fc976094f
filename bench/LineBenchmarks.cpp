#include "BenchCounter.h"
#include "Benchmarks.h"
#include "LocalPlatform.h"
#include "ProductLines.h"
#include "ReferenceClient.h"
#include "SlowLine.h"
#include "TestCertificates.h"

#include "counter/CounterRules.h"
#include "counter/CounterState.h"
#include "counter/Coupons.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "members/Lookup.h"
#include "members/Member.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

// A DSL or 4G line: 30 ms from the counter to the platform and back.
constexpr std::chrono::microseconds oneway{15000};
// Samples of each act, on each side; the median counts.
constexpr int samples = 7;

const QString idpharma = u"101"_s;
// Members of the demo data: two with open coupons, shown in turn by the lookups; one for the
// sales; one that gets a coupon before each use.
const QString lookupcards[] = {u"1010001"_s, u"1010011"_s};
const QString salecard = u"1010002"_s;
const QString couponcard = u"1010012"_s;

double seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// The first member of a JSON reply ("FidelityMember", "list", "ApiReturn"), or empty.
std::optional<rapidjson::Document> parse(const std::string& reply)
{
    rapidjson::Document document;
    document.Parse(reply.data(), reply.size());
    if (document.HasParseError() || !document.IsObject() || document.MemberCount() == 0)
        return std::nullopt;
    return document;
}

// A value of a reply as text: a string, or a number.
QString text(const rapidjson::Value& value)
{
    if (value.IsString())
        return QString::fromUtf8(value.GetString(), value.GetStringLength());
    if (value.IsInt64())
        return QString::number(value.GetInt64());
    if (value.IsNumber())
        return QString::number(value.GetDouble());
    return {};
}

// The id of the member of a lookup reply, or empty.
QString memberid(const std::string& reply)
{
    const std::optional<rapidjson::Document> document = parse(reply);
    if (!document || !document->HasMember("FidelityMember") || !(*document)["FidelityMember"].IsObject())
        return {};
    const rapidjson::Value& member = (*document)["FidelityMember"];
    return member.HasMember("id") ? text(member["id"]) : QString();
}

// When each watched widget was painted, and what a label showed then.
class PaintLog final : public QObject
{
public:
    struct Paint
    {
        const QObject* widget;
        Clock::time_point at;
        QString text;
    };

    void watch(QWidget* widget) { widget->installEventFilter(this); }
    void clear() { m_paints.clear(); }

    // The first paint of the label, after `start`, that shows a name once it has been shown empty
    // (the lookup empties it first): when the member reached the screen.
    std::optional<Clock::time_point> membershown(const QLabel* label, Clock::time_point start,
                                                 bool emptyatstart) const
    {
        bool emptied = emptyatstart;
        for (const Paint& paint : m_paints) {
            if (paint.widget != label || paint.at < start)
                continue;
            if (paint.text.isEmpty())
                emptied = true;
            else if (emptied)
                return paint.at;
        }
        return std::nullopt;
    }
    // The last paint after `after`, if any: what the act left to show reached the screen.
    std::optional<Clock::time_point> lastafter(Clock::time_point after) const
    {
        std::optional<Clock::time_point> last;
        for (const Paint& paint : m_paints) {
            if (paint.at >= after)
                last = paint.at;
        }
        return last;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const auto* label = qobject_cast<const QLabel*>(watched);
            m_paints.push_back({watched, Clock::now(), label ? label->text() : QString()});
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::vector<Paint> m_paints;
};

// Runs what is pending, paints included.
void drain()
{
    for (int round = 0; round < 20; ++round)
        QCoreApplication::processEvents();
}

// One sample of an act: when the member was on the screen (or read, for the reference) and when
// the act was over, from its start, and the connections it opened.
struct Sample
{
    double member = -1;
    double end = -1;
    LocalPlatform::Handshakes handshakes;
};

// The platform over HTTPS behind the line, and what both sides need of it.
class Line final
{
public:
    Line(const TestCertificates& certificates, const QString& tlsmax)
        : m_platform(certificates.platformoptions() +
                     (tlsmax.isEmpty() ? QStringList() : QStringList{u"--tls-max"_s, tlsmax})),
          m_line(m_platform.port(), oneway),
          m_direct(m_platform.apiurl(), certificates.path(u"ca.pem"_s).toUtf8())
    {
    }

    bool started() const { return m_platform.started() && m_line.started(); }
    QString error() const { return m_platform.error(); }
    // The platform's API through the line.
    QString url() const
    {
        return u"https://127.0.0.1:"_s + QString::number(m_line.port()) + u"/apiv1/webapi.do"_s;
    }
    // The pharmacist is serving: the platform has long closed the connections left idle, as its
    // keep-alive time limit does, and the client has heard of it.
    void idle()
    {
        m_platform.closeidle();
        std::this_thread::sleep_for(2 * oneway);
        m_platform.clearhandshakes();
    }
    LocalPlatform::Handshakes handshakes() { return m_platform.handshakes(); }
    // What went wrong with the last request straight to the platform.
    QString directerror() const { return QString::fromStdString(m_direct.error()); }

    // Straight to the platform, off the line: the member's id, a coupon for the member.
    QString memberof(const QString& card)
    {
        return m_direct.post(Lookup::requestline(card, idpharma)) ? memberid(m_direct.reply()) : QString();
    }
    // A sale of 100 euros: the member gets a coupon (7.50 at 100 points, 20 at 200).
    bool givecoupon(const QString& member)
    {
        return m_direct.put(Sale::requesttext({member, idpharma, u"AB"_s, u"B"_s, u"100"_s, {}}) + u"\r\n"_s);
    }
    // The member's first open coupon: id, track code, value.
    std::optional<std::array<QString, 3>> opencoupon(const QString& member)
    {
        if (!m_direct.post(Coupons::queryline(idpharma, member, nowtext(QDateTime::currentDateTime()))))
            return std::nullopt;
        const std::optional<rapidjson::Document> document = parse(m_direct.reply());
        if (!document || !document->HasMember("list") || !(*document)["list"].IsArray() ||
            (*document)["list"].Empty())
            return std::nullopt;
        const rapidjson::Value& sent = (*document)["list"][0];
        if (!sent.IsObject() || !sent.HasMember("id") || !sent.HasMember("trackCode") ||
            !sent.HasMember("fvalue"))
            return std::nullopt;
        return std::array<QString, 3>{text(sent["id"]), text(sent["trackCode"]), text(sent["fvalue"])};
    }

private:
    LocalPlatform m_platform;
    SlowLine m_line;
    ReferenceClient m_direct;
};

// A new member with one child, on a card of its own.
Member enrolment(int number)
{
    Member member;
    member.Setcardnumber(QString::number(8800000 + number));
    member.Setnom(u"ESSAI"_s);
    member.Setprenom(u"Ligne"_s);
    member.Setcivilite(u"MME"_s);
    member.Setemail(u"essai@example.org"_s);
    member.Setnbenfants(1);
    member.childrenupdate(1, u"Léa"_s, u"F"_s, u"01022020"_s, false);
    return member;
}

// The counter window as the pharmacist uses it, through the line.
class ProgramSide final
{
public:
    explicit ProgramSide(const QString& url) : m_counter(url), m_window(m_counter.windowcontext())
    {
        m_counter.wire(m_window.session());
        m_window.show();
        m_paints.watch(m_window.lblnom());
        m_paints.watch(m_window.listecoupons()->viewport());
        drain();
    }

    bool ok() const { return m_failure.isEmpty(); }
    const QString& failure() const { return m_failure; }

    // Enter in the search field with a card: the member, then its coupons.
    Sample lookup(Line& line, const QString& card)
    {
        m_window.search()->setText(card);
        drain();
        line.idle();
        return act(line, [&] { QTest::keyClick(m_window.search(), Qt::Key_Return); });
    }

    // "Valider Vente" with two product lines: the sale, then the member and its coupons again.
    Sample sale(Line& line)
    {
        show(salecard);
        SaleLines& produits = m_window.state().Produits();
        storeLines(produits, {{u"A100"_s, 2, 4.5, 9.0}, {u"B200"_s, 1, 16.8, 16.8}});
        drain();
        line.idle();
        Sample sample = act(line, [&] { QTest::mouseClick(m_window.btnadd(), Qt::LeftButton); });
        if (m_window.state().Produits().size() != 0)
            fail(u"la vente n'a pas été enregistrée"_s);
        return sample;
    }

    // Enter on "Utiliser" of a coupon, "Oui": the use, the status, then the member and its coupons.
    Sample coupon(Line& line)
    {
        if (!line.givecoupon(line.memberof(couponcard)))
            fail(u"pas de coupon pour l'essai : "_s + line.directerror());
        show(couponcard);
        QTableWidget* grid = m_window.listecoupons();
        const QTableWidgetItem* id = grid->item(0, Coupons::Id);
        const QString used = id ? id->text() : QString();
        grid->setFocus();
        grid->setCurrentCell(0, Coupons::Use);
        m_counter.dialogs.script({true});
        drain();
        line.idle();
        Sample sample = act(
            line, [&] { QTest::keyClick(grid, Qt::Key_Return); }, 1);
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (grid->item(row, Coupons::Id) && grid->item(row, Coupons::Id)->text() == used)
                fail(u"le coupon utilisé est encore proposé"_s);
        }
        if (used.isEmpty())
            fail(u"aucun coupon à utiliser"_s);
        return sample;
    }

    // "Valider" of the enrolment form: the member, its child, then the counter shows it (as
    // start-up wires the form to the counter).
    Sample enrol(Line& line, int number)
    {
        Member member = enrolment(number);
        line.idle();
        return act(line, [&] {
            if (!m_counter.members->save(member, SaveMode::Create).saved())
                fail(u"l'adhésion n'a pas été enregistrée"_s);
            m_window.setsearchtext(u"ID="_s + member.Getid());
            m_window.btsearchClick();
        });
    }

private:
    // The member shown, looked up off the clock.
    void show(const QString& card)
    {
        m_window.search()->setText(card);
        m_window.btsearchClick();
        drain();
    }

    template <typename Action> Sample act(Line& line, Action action, int boxes = 0)
    {
        m_counter.dialogs.clear();
        m_paints.clear();
        const bool emptyatstart = m_window.lblnom()->text().isEmpty();
        const Clock::time_point start = Clock::now();
        action();
        const Clock::time_point returned = Clock::now();
        drain();
        Sample sample;
        const std::optional<Clock::time_point> member =
            m_paints.membershown(m_window.lblnom(), start, emptyatstart);
        if (member)
            sample.member = seconds(*member - start);
        sample.end = seconds(m_paints.lastafter(returned).value_or(returned) - start);
        sample.handshakes = line.handshakes();
        if (m_counter.dialogs.texts().size() != boxes)
            fail(u"messages inattendus : "_s + m_counter.dialogs.texts().join(u" | "_s));
        if (m_window.state().idle())
            fail(u"aucun membre affiché"_s);
        return sample;
    }

    void fail(const QString& why)
    {
        if (m_failure.isEmpty())
            m_failure = why;
    }

    BenchCounter m_counter;
    CounterWindow m_window;
    PaintLog m_paints;
    QString m_failure;
};

// The same acts with plain libcurl: one handle for the counter's requests, one for the member saves,
// as the program has a client for each; every reply parsed.
class ReferenceSide final
{
public:
    ReferenceSide(const QString& url, const QByteArray& cafile)
        : m_counter(url, cafile), m_connexion(url, cafile)
    {
    }

    bool ok() const { return m_failure.isEmpty(); }
    const QString& failure() const { return m_failure; }

    Sample lookup(Line& line, const QString& card)
    {
        line.idle();
        return act(line,
                   [&](Sample& sample, Clock::time_point start) { lookupandcoupons(card, sample, start); });
    }

    Sample sale(Line& line)
    {
        const QString member = line.memberof(salecard);
        const QString text =
            Sale::requesttext({member, idpharma, u"AB"_s, u"V1"_s, u"25,8"_s, {}}) + u"\r\n"_s;
        line.idle();
        return act(line, [&](Sample& sample, Clock::time_point start) {
            if (!m_counter.put(text, true) || !parse(m_counter.reply()))
                fail(u"vente : "_s + QString::fromStdString(m_counter.error()));
            lookupandcoupons(salecard, sample, start);
        });
    }

    Sample coupon(Line& line)
    {
        const QString member = line.memberof(couponcard);
        line.givecoupon(member);
        const auto coupon = line.opencoupon(member);
        if (!coupon) {
            fail(u"pas de coupon pour l'essai"_s);
            return {};
        }
        // Named copies: clang 14, the sanitizers' compiler, lets no lambda capture a structured binding.
        const auto& [couponid, coupontrack, couponvalue] = *coupon;
        const QString id = couponid, track = coupontrack, value = couponvalue;
        line.idle();
        return act(line, [&](Sample& sample, Clock::time_point start) {
            const QString now = nowtext(QDateTime::currentDateTime());
            if (!m_counter.put(Coupons::eventline(member, idpharma, value, track, id), true) ||
                !parse(m_counter.reply()) || !m_counter.put(Coupons::statusline(id, now)) ||
                !parse(m_counter.reply()))
                fail(u"utilisation du coupon"_s);
            lookupandcoupons(couponcard, sample, start);
        });
    }

    Sample enrol(Line& line, int number)
    {
        Member member = enrolment(number);
        line.idle();
        return act(line, [&](Sample& sample, Clock::time_point start) {
            if (!m_connexion.put(u"json_data={"_s + member.tostrjson(SaveMode::Create) + u'}', true))
                fail(u"adhésion"_s);
            const std::optional<rapidjson::Document> envelope = parse(m_connexion.reply());
            if (!envelope || !envelope->HasMember("ApiReturn") || !(*envelope)["ApiReturn"].IsObject() ||
                !(*envelope)["ApiReturn"].HasMember("id")) {
                fail(u"adhésion sans id"_s);
                return;
            }
            member.Setid(text((*envelope)["ApiReturn"]["id"]));
            if (!m_connexion.put(u"json_data={"_s + member.tostrjsonenfant(1) + u'}') ||
                !parse(m_connexion.reply()))
                fail(u"enfant"_s);
            lookupandcoupons(u"ID="_s + member.Getid(), sample, start);
        });
    }

private:
    // The member by its card (or "ID=" and its id), read; then its coupons, read.
    void lookupandcoupons(const QString& search, Sample& sample, Clock::time_point start)
    {
        QString member;
        if (m_counter.post(Lookup::requestline(search, idpharma)))
            member = memberid(m_counter.reply());
        sample.member = seconds(Clock::now() - start);
        if (member.isEmpty() ||
            !m_counter.post(Coupons::queryline(idpharma, member, nowtext(QDateTime::currentDateTime()))) ||
            !parse(m_counter.reply()))
            fail(u"recherche de "_s + search);
    }

    template <typename Action> Sample act(Line& line, Action action)
    {
        Sample sample;
        const Clock::time_point start = Clock::now();
        action(sample, start);
        sample.end = seconds(Clock::now() - start);
        sample.handshakes = line.handshakes();
        return sample;
    }

    void fail(const QString& why)
    {
        if (m_failure.isEmpty())
            m_failure = why;
    }

    ReferenceClient m_counter;
    ReferenceClient m_connexion;
    QString m_failure;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One act on both sides: the medians in round trips, and the handshakes of a sample.
struct Act
{
    const char* label;
    // The round trips the wire form asks: a TCP handshake and a TLS one (1.3, or 1.2 resumed) per
    // connection, one per request; and to the member read, when the act shows one.
    int minimum;
    int memberminimum; // 0: no member paint measured
    std::vector<Sample> program;
    std::vector<Sample> reference;
};

std::string figure(const Act& act)
{
    const double rtt = seconds(2 * oneway);
    auto medianof = [rtt](const std::vector<Sample>& samples, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            if (sample.*field >= 0)
                values.push_back(sample.*field / rtt);
        }
        return median(values);
    };
    const double program = medianof(act.program, &Sample::end);
    const double reference = medianof(act.reference, &Sample::end);
    const double gap = program - reference;
    char line[512];
    int written = std::snprintf(line, sizeof line,
                                "  %s : minimum %d, programme %.2f, référence %.2f, écart %+.2f aller-retour "
                                "(objectif ≤ 0,2) %s",
                                act.label, act.minimum, program, reference, gap,
                                gap <= 0.2 ? "atteint" : "non atteint");
    if (act.memberminimum > 0 && written > 0 && size_t(written) < sizeof line)
        written += std::snprintf(line + written, sizeof line - size_t(written),
                                 " ; membre peint à %.2f (lu par la référence à %.2f, minimum %d)",
                                 medianof(act.program, &Sample::member),
                                 medianof(act.reference, &Sample::member), act.memberminimum);
    auto counts = [](const std::vector<Sample>& samples) {
        const LocalPlatform::Handshakes& h = samples.back().handshakes;
        char text[128];
        std::snprintf(text, sizeof text, "%d connexions, TLS %d complètes / %d reprises", h.connections,
                      h.full, h.resumed);
        return std::string(text);
    };
    std::string out = line;
    if (!act.program.empty() && !act.reference.empty())
        out += "\n      plateforme, par acte : programme " + counts(act.program) + " ; référence " +
               counts(act.reference);
    return out;
}

// The acts on one platform (TLS 1.3, or 1.2 only), both sides in turn, sample after sample.
std::vector<std::string> runline(const TestCertificates& certificates, const QString& tlsmax, int& enrolled)
{
    Line line(certificates, tlsmax);
    if (!line.started())
        return {"  non mesuré : la plateforme ou la ligne n'a pas démarré (" + line.error().toStdString() +
                ")"};
    const QByteArray cafile = certificates.path(u"ca.pem"_s).toUtf8();
    ProgramSide program(line.url());
    ReferenceSide reference(line.url(), cafile);
    // The first connection of each side pays the full handshake; what follows is the steady state.
    const Sample firstprogram = program.lookup(line, lookupcards[1]);
    const Sample firstreference = reference.lookup(line, lookupcards[1]);

    std::vector<Act> acts{{"Recherche par carte (membre, puis ses coupons)", 6, 3, {}, {}},
                          {"Vente et son rafraîchissement", 9, 6, {}, {}},
                          {"Coupon utilisé, son statut, le rafraîchissement", 10, 0, {}, {}},
                          {"Adhésion avec un enfant, puis le membre montré", 10, 7, {}, {}}};
    for (int i = 0; i < samples; ++i) {
        const QString& card = lookupcards[i % 2];
        acts[0].program.push_back(program.lookup(line, card));
        acts[0].reference.push_back(reference.lookup(line, card));
        acts[1].program.push_back(program.sale(line));
        acts[1].reference.push_back(reference.sale(line));
        acts[2].program.push_back(program.coupon(line));
        acts[2].reference.push_back(reference.coupon(line));
        acts[3].program.push_back(program.enrol(line, ++enrolled));
        acts[3].reference.push_back(reference.enrol(line, ++enrolled));
    }
    if (!program.ok() || !reference.ok())
        return {"  non mesuré : " + (program.ok() ? "référence : " + reference.failure().toStdString()
                                                  : "programme : " + program.failure().toStdString())};
    std::vector<std::string> lines;
    for (const Act& act : acts)
        lines.push_back(figure(act));
    // Over the whole series: how many connections paid a full TLS handshake.
    auto total = [&acts](const Sample& first, std::vector<Sample> Act::*side) {
        LocalPlatform::Handshakes sum = first.handshakes;
        for (const Act& act : acts) {
            for (const Sample& sample : act.*side) {
                sum.connections += sample.handshakes.connections;
                sum.full += sample.handshakes.full;
                sum.resumed += sample.handshakes.resumed;
            }
        }
        return sum;
    };
    const LocalPlatform::Handshakes ours = total(firstprogram, &Act::program);
    const LocalPlatform::Handshakes theirs = total(firstreference, &Act::reference);
    char summary[256];
    std::snprintf(summary, sizeof summary,
                  "  sur toute la série : programme %d connexions, TLS %d complètes (objectif : 1) ; "
                  "référence %d connexions, TLS %d complètes",
                  ours.connections, ours.full, theirs.connections, theirs.full);
    lines.emplace_back(summary);
    return lines;
}

std::vector<std::string> linefigures;

void line(benchmark::State& state)
{
    TestCertificates certificates;
    if (!certificates.ok()) {
        state.SkipWithError("certificats de test non créés");
        return;
    }
    // The program trusts the test authority as the system's bundle.
    qputenv("SSL_CERT_FILE", certificates.path(u"ca.pem"_s).toLocal8Bit());
    int enrolled = 0;
    for (auto _ : state) {
        linefigures.clear();
        char head[256];
        std::snprintf(head, sizeof head,
                      "Sur une ligne de %.0f ms aller-retour, HTTPS, médianes de %d, en allers-retours :",
                      seconds(2 * oneway) * 1e3, samples);
        linefigures.emplace_back(head);
        for (const QString& tlsmax : {QString(), u"1.2"_s}) {
            linefigures.emplace_back(tlsmax.isEmpty() ? " TLS 1.3" : " TLS 1.2 (plateforme sans TLS 1.3)");
            for (std::string& figureline : runline(certificates, tlsmax, enrolled))
                linefigures.push_back(std::move(figureline));
        }
    }
    qunsetenv("SSL_CERT_FILE");
}

} // namespace

void registerlinebenchmarks()
{
    benchmark::RegisterBenchmark(names::line, line)->Unit(benchmark::kSecond)->Iterations(1);
}

const std::vector<std::string>& linebenchmarkfigures()
{
    return linefigures;
}
