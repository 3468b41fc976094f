// The enrolment form's saves driven whole through MemberSession, with no window, against the local
// platform: each member write (an enrolment, a member's changes, a new child, a child's changes)
// recorded, refused, not recorded or not yet known, and never sent twice; the writes left not
// known settled after the form closed, by the counter's lookup and by the background sender.
#include "LocalPlatform.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterSession.h"
#include "members/Lookup.h"
#include "members/Member.h"
#include "members/MemberSession.h"
#include "outbox/KeptSales.h"
#include "platform/Clock.h"
#include "sender/KeptSender.h"
#include "settings/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// How long after a send without an answer the platform may still be processing it, in the tests.
constexpr int klimit = 2;
using Result = MemberSession::Outcome::Result;

// A member session on the first demo pharmacy of a local platform, with its outbox in a work
// folder of its own.
class Rig
{
public:
    explicit Rig(LocalPlatform& platform)
        : m_platform(platform), settings(m_work.path() + u'/'),
          client(buffer, [this] { return settings.url(); })
    {
        Settings::Values values;
        values.apikey = LocalPlatform::demoapikey();
        values.login = LocalPlatform::demologin();
        values.password = LocalPlatform::demopassword();
        values.idpharma = LocalPlatform::demoidpharma();
        values.url = platform.apiurl();
        settings.write(values);
        settings.setauthorization(client.client());
        // The connection holder copies the counter client's headers when it is made.
        connexion = std::make_unique<Connection>(client.client(), buffer, [this] { return settings.url(); });
        session = std::make_unique<MemberSession>(
            MemberSession::Context{*connexion, client, settings, dialogs, clock});
        session->setoutbox(&outbox);
        received();
    }

    // The request texts the platform received since the last call: the writes (PUT) and the
    // lookups (POST, decoded).
    struct Received
    {
        QStringList puts;
        QStringList posts;
    };
    Received received()
    {
        const QJsonDocument journal =
            QJsonDocument::fromJson(m_platform.admin("GET", u"journal?after="_s + QString::number(m_seen)));
        Received texts;
        for (const QJsonValue entry : journal.object().value(u"entries"_s).toArray()) {
            const QJsonObject request = entry.toObject();
            m_seen = std::max(m_seen, request.value(u"seq"_s).toInteger());
            QByteArray body = QByteArray::fromBase64(request.value(u"body_base64"_s).toString().toLatin1());
            if (request.value(u"method"_s).toString() == u"POST"_s)
                texts.posts.append(
                    QString::fromUtf8(QByteArray::fromPercentEncoding(body.replace('+', ' '))));
            else
                texts.puts.append(QString::fromUtf8(body));
        }
        return texts;
    }

    // Faults for the next requests to the API, one each, `passes` of them going through first.
    void faults(const QByteArrayList& faults, int passes = 0)
    {
        QByteArrayList queued;
        for (int i = 0; i < passes; ++i)
            queued.append(R"({"action":"delay","path":"/apiv1/"})");
        for (QByteArray fault : faults) {
            fault.insert(fault.size() - 1, R"(,"path":"/apiv1/")");
            queued.append(fault);
        }
        m_platform.admin("POST", u"faults"_s, '[' + queued.join(',') + ']');
    }

    // The lookup's reply for a search text, as the counter reads it.
    Lookup::Reply lookup(const QString& text)
    {
        const HttpReply reply = client.postform(Lookup::requestline(text, LocalPlatform::demoidpharma()));
        received();
        return Lookup::readreply(ReplyBuffer::normalised(reply.body));
    }
    // The member the platform holds under that search text, loaded into a record opened for
    // modification.
    Member loaded(const QString& text)
    {
        Member member;
        const Lookup::Reply read = lookup(text);
        if (read.kind == Lookup::Reply::Kind::Member)
            member.fromjson(read.member);
        member.charge();
        return member;
    }

    QString workfolder() const { return m_work.path(); }

private:
    LocalPlatform& m_platform;
    QTemporaryDir m_work;
    qint64 m_seen = 0;

public:
    Settings settings;
    ReplyBuffer buffer;
    CounterClient client;
    ScriptedDialogs dialogs;
    SystemClock clock;
    KeptSales outbox{KeptSales::pathin(m_work.path()), clock, klimit};
    std::unique_ptr<Connection> connexion;
    std::unique_ptr<MemberSession> session;
};

// A new customer as the enrolment form leaves its record.
Member newcustomer(const QString& card = u"7777001"_s)
{
    Member member;
    member.init();
    member.charge();
    member.Setnom(u"DURAND"_s);
    member.Setprenom(u"Zoé"_s);
    member.Setcivilite(u"MME"_s);
    member.Setcardnumber(card);
    member.Setdatenaissance(u"12031980"_s);
    member.Setemail(u"zoe@example.fr"_s);
    return member;
}

// Abandons the wait for the reply running, as Échap does, `ms` from now.
void abandonafter(int ms)
{
    QTimer::singleShot(ms, [] { HttpClient::abandonwait(); });
}

const QString recorded = u"a bien été enregistrée par la plateforme."_s;
const QString notrecorded = u"n'a pas été enregistrée par la plateforme."_s;
const QString confirming = u"La plateforme n'a pas confirmé"_s;
const QString pending = u"envoyée plus tôt, n'est pas encore confirmée"_s;
const QString creation = u"{\"FidelityMember\" : {\"name\""_s;
const QString update = u"{\"FidelityMember\" : {\"id\""_s;
const QString childcreation = u"{\"FidelityMemberChild\" : {\"parent\""_s;
const QString childupdate = u"{\"FidelityMemberChild\" : {\"id\""_s;

} // namespace

class TestMemberSession : public QObject
{
    Q_OBJECT
private slots:
    // Every member write, its reply lost or refused: what the pharmacist is told, what the outbox
    // holds, that a write not known is never sent again, and what the platform ends up holding.
    //   recorded        processed, its reply lost: found at once in the record;
    //   refused         the platform's text, nothing kept;
    //   not recorded    cut before the platform read it: not known until the processing limit,
    //                   then told not recorded and sent again, once;
    //   not yet known   abandoned while the platform still processes it: not sent again, then
    //                   found in the record.
    void threeStates_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("state");
        for (const auto& [kind, name] : {std::pair{KeptSale::Kind::MemberCreate, "enrolment"},
                                         std::pair{KeptSale::Kind::MemberUpdate, "member change"},
                                         std::pair{KeptSale::Kind::ChildCreate, "new child"},
                                         std::pair{KeptSale::Kind::ChildUpdate, "child change"}}) {
            for (const char* state : {"recorded", "refused", "not recorded", "not yet known"})
                QTest::addRow("%s, %s", name, state) << int(kind) << QString::fromLatin1(state);
        }
    }
    void threeStates()
    {
        QFETCH(int, kind);
        QFETCH(QString, state);
        const auto writekind = KeptSale::Kind(kind);
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);

        // The record and the request the fault meets.
        Member member;
        SaveMode mode = SaveMode::Update;
        QString request;
        int passes = 0;
        switch (writekind) {
        case KeptSale::Kind::MemberCreate:
            member = newcustomer();
            mode = SaveMode::Create;
            request = creation;
            break;
        case KeptSale::Kind::MemberUpdate:
            member = rig.loaded(u"1010002"_s);
            member.Setmobile(u"0699999999"_s);
            request = update;
            break;
        case KeptSale::Kind::ChildCreate:
            member = rig.loaded(u"1010002"_s);
            member.childrenupdate(2, u"Léa"_s, u"F"_s, u"04032015"_s, false);
            member.Setnbenfants(2);
            request = childcreation;
            passes = 1;
            break;
        case KeptSale::Kind::ChildUpdate:
            member = rig.loaded(u"1010002"_s);
            member.childrenupdate(1, u"Hugo"_s, member.sexeenfant(1), member.dtnenfant(1), false);
            request = childupdate;
            passes = 1;
            break;
        default:
            QFAIL("kind");
        }
        const bool child = passes > 0;
        const QString childbefore = rig.loaded(u"1010002"_s).prnenfant(1);
        rig.received();

        if (state == u"recorded"_s)
            rig.faults({R"({"action":"close","process":true})"}, passes);
        else if (state == u"refused"_s)
            rig.faults({R"({"action":"body","body":"{\"ApiReturn\":{\"code\":\"KO\",\"errorCode\":\"11\",)"
                        R"(\"errorMessage\":\"Refusé pour l'essai\"}}"})"},
                       passes);
        else if (state == u"not recorded"_s)
            rig.faults({R"({"action":"close"})"}, passes);
        else
            rig.faults({R"({"action":"delay","delay_ms":1500})"}, passes);
        if (state == u"not yet known"_s) {
            // The member's request goes first; the child's is the one abandoned.
            abandonafter(child ? 1000 : 300);
        }
        MemberSession::Outcome first = rig.session->save(member, mode);
        Rig::Received sent = rig.received();
        QCOMPARE(sent.puts.filter(request).size(), 1);

        if (state == u"refused"_s) {
            QCOMPARE(first.result, child ? Result::Saved : Result::Refused);
            QCOMPARE(first.childrenpending, child);
            QCOMPARE(first.messages, QStringList{u"Erreur : Refusé pour l'essai"_s});
            QCOMPARE(rig.outbox.counts()->enrolments + rig.outbox.counts()->memberchanges, 0);
        } else if (state == u"recorded"_s) {
            QCOMPARE(first.result, Result::Saved);
            QVERIFY(!first.childrenpending);
            QCOMPARE(first.messages.size(), 2); // the lost reply, then the record's word
            QVERIFY2(first.messages.last().endsWith(recorded), qPrintable(first.messages.join(u'|')));
            QCOMPARE(rig.outbox.counts()->enrolments + rig.outbox.counts()->memberchanges, 0);
        } else {
            // Not known: kept in the outbox, counted, and not sent again by the next save.
            QCOMPARE(first.result, child ? Result::Saved : Result::Unconfirmed);
            QCOMPARE(first.childrenpending, child);
            QVERIFY2(first.messages.last().startsWith(confirming), qPrintable(first.messages.join(u'|')));
            const KeptSales::Counts counts = *rig.outbox.counts();
            QCOMPARE(counts.enrolments, writekind == KeptSale::Kind::MemberCreate ? 1 : 0);
            QCOMPARE(counts.memberchanges, writekind == KeptSale::Kind::MemberCreate ? 0 : 1);
            QCOMPARE(KeptSales::confirmCaption(counts), writekind == KeptSale::Kind::MemberCreate
                                                            ? u"1 adhésion à confirmer"_s
                                                            : u"1 modification de fiche à confirmer"_s);
            const MemberSession::Outcome again = rig.session->save(member, mode);
            QCOMPARE(again.result, Result::Unconfirmed);
            QCOMPARE(again.messages.size(), 1);
            QVERIFY2(again.messages.at(0).contains(pending), qPrintable(again.messages.at(0)));
            sent = rig.received();
            QCOMPARE(sent.puts, QStringList());
            QCOMPARE(sent.posts.size(), 1);

            QTest::qWait(klimit * 1000 + 500);
            const MemberSession::Outcome settled = rig.session->save(member, mode);
            QCOMPARE(settled.result, Result::Saved);
            QVERIFY(!settled.childrenpending);
            QVERIFY2(settled.messages.size() == 1 &&
                         settled.messages.at(0).endsWith(state == u"not recorded"_s ? notrecorded : recorded),
                     qPrintable(settled.messages.join(u'|')));
            sent = rig.received();
            // Not recorded: sent again, once. Recorded: a new member or child is never sent again;
            // a change goes again with the save, as it is.
            const bool change =
                writekind == KeptSale::Kind::MemberUpdate || writekind == KeptSale::Kind::ChildUpdate;
            QCOMPARE(sent.puts.filter(request).size(), state == u"not recorded"_s || change ? 1 : 0);
            QCOMPARE(rig.outbox.counts()->enrolments + rig.outbox.counts()->memberchanges, 0);
        }

        // What the platform holds: the write once, or not at all when refused.
        const bool landed = state != u"refused"_s;
        switch (writekind) {
        case KeptSale::Kind::MemberCreate: {
            // One member of that name: a second enrolment would show a list.
            const Lookup::Reply found = rig.lookup(u"DURAND*Zoé"_s);
            QCOMPARE(found.kind, landed ? Lookup::Reply::Kind::Member : Lookup::Reply::Kind::Refusal);
            if (landed) {
                QCOMPARE(gettext(found.member, u"cardnumber"_s), u"7777001"_s);
                QCOMPARE(member.Getid(), gettext(found.member, u"id"_s));
            }
            break;
        }
        case KeptSale::Kind::MemberUpdate:
            QCOMPARE(rig.loaded(u"1010002"_s).Getmobile(), landed ? u"0699999999"_s : QString());
            break;
        case KeptSale::Kind::ChildCreate: {
            const Member held = rig.loaded(u"1010002"_s);
            QCOMPARE(held.Getnbenfants(), landed ? 2 : 1);
            if (landed) {
                QCOMPARE(held.prnenfant(2), u"Léa"_s);
                QCOMPARE(member.enfant(2).id, held.enfant(2).id);
            }
            break;
        }
        case KeptSale::Kind::ChildUpdate: {
            const Member held = rig.loaded(u"1010002"_s);
            QCOMPARE(held.Getnbenfants(), 1);
            QCOMPARE(held.prnenfant(1), landed ? u"Hugo"_s : childbefore);
            break;
        }
        default:
            break;
        }
    }

    // An enrolment recorded whose reply was lost, and that the record could not show at once: the
    // form closes on it; the counter's next lookup of the card, or the background sender, settles
    // it, and never sends it.
    void settledAfterTheFormClosed_data()
    {
        QTest::addColumn<bool>("bycounter");
        QTest::addColumn<bool>("processed");
        QTest::newRow("the counter's lookup of the card") << true << true;
        QTest::newRow("the sender, recorded") << false << true;
        QTest::newRow("the sender, not recorded") << false << false;
    }
    void settledAfterTheFormClosed()
    {
        QFETCH(bool, bycounter);
        QFETCH(bool, processed);
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        Member member = newcustomer();
        // The enrolment's reply is lost, and so is the lookup after it.
        rig.faults({QByteArray(R"({"action":"close","process":)") + (processed ? "true" : "false") + '}',
                    R"({"action":"status","status_line":"HTTP/1.1 503 Service Unavailable"})"});
        QCOMPARE(rig.session->save(member, SaveMode::Create).result, Result::Unconfirmed);
        rig.session->start(); // the form is quit
        rig.received();
        QCOMPARE(rig.outbox.counts()->enrolments, 1);

        if (bycounter) {
            // Without the coupon query, as the switch "nocoupon" has it.
            CounterSession counter(
                CounterSession::Context{rig.client, rig.buffer, rig.settings, rig.dialogs, rig.clock, true});
            counter.setkeptsales(&rig.outbox);
            counter.setmemberread([&rig](const JsonValue& read, const QDateTime& asked) {
                return rig.session->settleread(read, asked);
            });
            QCOMPARE(counter.shown().confirming, u"1 adhésion à confirmer"_s);
            const CounterOutcome found = counter.lookup(u"7777001"_s);
            QCOMPARE(
                found.texts(),
                QStringList{
                    u"L'adhésion de MME Zoé DURAND (carte 7777001) a bien été enregistrée par la plateforme."_s});
            QCOMPARE(counter.shown().confirming, QString());
        } else {
            if (!processed)
                QTest::qWait(klimit * 1000 + 100); // absence is proof only then
            KeptSales store(rig.outbox.path(), rig.clock, klimit);
            ReplyBuffer buffer;
            CounterClient client(buffer, [&rig] { return rig.settings.url(); });
            rig.settings.setauthorization(client.client());
            KeptSender sender(store, client);
            const KeptSender::Round round = sender.run(LocalPlatform::demoidpharma());
            QCOMPARE(round.settled, 1);
            QVERIFY(round.failure.isEmpty());
        }
        QCOMPARE(rig.outbox.counts()->enrolments, 0);
        QCOMPARE(rig.received().puts, QStringList());
        QCOMPARE(rig.lookup(u"7777001"_s).kind,
                 processed ? Lookup::Reply::Kind::Member : Lookup::Reply::Kind::Refusal);
    }

    // The same customer enrolled again once the first enrolment is settled (by the sender, say,
    // unseen at the counter): the card is refused as taken by that very customer, who is updated,
    // not enrolled twice. With another card while the first one is not settled yet, the customer
    // is told of it first, and nothing is sent.
    void sameCustomerAgain()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        Member first = newcustomer();
        QVERIFY(rig.session->save(first, SaveMode::Create).saved());
        rig.session->start();
        rig.received();

        Member again = newcustomer();
        again.Setmobile(u"0612345678"_s);
        const MemberSession::Outcome updated = rig.session->save(again, SaveMode::Create);
        QCOMPARE(updated.result, Result::Saved);
        QCOMPARE(
            updated.messages,
            QStringList{
                u"Ce client est déjà inscrit avec la carte 7777001 : son adhésion avait été enregistrée. "
                "Sa fiche est mise à jour avec ce formulaire."_s});
        QCOMPARE(again.Getid(), first.Getid());
        const Rig::Received sent = rig.received();
        QCOMPARE(sent.puts.size(), 2);
        QVERIFY(sent.puts.at(1).startsWith(u"json_data="_s + update));
        QCOMPARE(rig.loaded(u"7777001"_s).Getmobile(), u"0612345678"_s);

        // A third enrolment under card 7777002, its reply and the lookup after it lost.
        rig.session->start();
        Member third = newcustomer(u"7777002"_s);
        third.Setnom(u"MARTIN"_s);
        rig.faults({R"({"action":"close","process":true})",
                    R"({"action":"status","status_line":"HTTP/1.1 503 Service Unavailable"})"});
        QCOMPARE(rig.session->save(third, SaveMode::Create).result, Result::Unconfirmed);
        rig.session->start();
        rig.received();
        // The same name under another card: found, told, nothing sent. A namesake's enrolment
        // then goes.
        Member namesake = newcustomer(u"7777003"_s);
        namesake.Setnom(u"MARTIN"_s);
        const MemberSession::Outcome told = rig.session->save(namesake, SaveMode::Create);
        QCOMPARE(told.result, Result::NotSent);
        QCOMPARE(
            told.messages,
            QStringList{
                u"L'adhésion de MME Zoé MARTIN (carte 7777002) a bien été enregistrée par la plateforme."_s});
        QCOMPARE(rig.received().puts, QStringList());
        QVERIFY(rig.session->save(namesake, SaveMode::Create).saved());
        QCOMPARE(rig.received().puts.filter(creation).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestMemberSession)
#include "tst_membersession.moc"
