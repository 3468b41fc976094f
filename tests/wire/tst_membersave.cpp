#include "ConnectionRig.h"
#include "FixedClock.h"
#include "ScriptedDialogs.h"

#include "api/JsonValue.h"
#include "members/Member.h"
#include "members/MemberSession.h"
#include "settings/Settings.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(CaptureServer::Reply)
Q_DECLARE_METATYPE(SaveMode)
Q_DECLARE_METATYPE(MemberSession::Outcome::Result)

namespace {

QByteArray bodyof(const QString& object)
{
    return "json_data={" + object.toUtf8() + "}";
}

// A member as the lookup leaves it, opened for modification and changed by the user.
void changedmember(Member& member)
{
    member.Setid(u"9001"_s);
    member.Setcardnumber(u"1234567"_s);
    member.Setnom(u"Durand"_s);
    member.Setcivilite(u"MME"_s);
    member.charge();
    member.Setnom(u"Dupont"_s);
    member.Setprenom(u"Léa"_s);
    member.Setcisport(1);
}

// The lookup's answers that read the record after a lost reply.
CaptureServer::Reply nomember()
{
    return CaptureServer::envelope("\"code\":\"KO\",\"errorCode\":\"3008\",\"errorMessage\":\"Inconnu\"");
}
// The member holding the card, as the platform's record has it.
CaptureServer::Reply holder(const QByteArray& id, const QByteArray& name = "Dupont")
{
    return CaptureServer::ok(R"({"FidelityMember":{"id":)" + id + R"(,"cardnumber":"1234567","name":")" +
                             name + R"(","firstname":"L\u00e9a","children":""}})");
}

// The member session on the connection holder and the counter client of a capture server, without
// an outbox: what a lost reply leaves not known is kept by the session alone.
struct SessionRig
{
    explicit SessionRig(ConnectionRig& rig)
        : session(MemberSession::Context{*rig.connexion, rig.counter, settings, dialogs, clock})
    {
    }
    Settings settings;
    ScriptedDialogs dialogs;
    FixedClock clock;
    MemberSession session;
};

} // namespace

class TestMemberSave : public QObject
{
    Q_OBJECT

private slots:
    // One save of the member: the reply read once, a lost one looked for in the record at once
    // (by card for an enrolment, by id for a change).
    void save_data()
    {
        using R = MemberSession::Outcome::Result;
        QTest::addColumn<SaveMode>("mode");
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<CaptureServer::Reply>("record"); // the lookup after a lost reply
        QTest::addColumn<R>("result");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("shown");
        const CaptureServer::Reply none;

        QTest::newRow("update accepted")
            << SaveMode::Update << CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\"") << none
            << R::Saved << u"9001"_s << QStringList();
        QTest::newRow("create accepted stores the id")
            << SaveMode::Create
            << CaptureServer::envelope("\"code\":\"OK\",\"message\":\"cr\xC3\xA9\xC3\xA9\",\"id\":77") << none
            << R::Saved << u"77"_s << QStringList();
        QTest::newRow("update keeps its id")
            << SaveMode::Update << CaptureServer::envelope("\"code\":\"OK\",\"id\":\"1\"") << none << R::Saved
            << u"9001"_s << QStringList();
        QTest::newRow("3008 as a number")
            << SaveMode::Update << CaptureServer::envelope("\"code\":\"KO\",\"errorCode\":3008") << none
            << R::Refused << u"9001"_s
            << QStringList{
                   u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s};
        QTest::newRow("other refusal")
            << SaveMode::Create
            << CaptureServer::envelope(
                   "\"code\":\"ERROR\",\"errorCode\":\"12\",\"errorMessage\":\"Carte d\xC3\xA9j\xC3\xA0 "
                   "utilis\xC3\xA9"
                   "e\"")
            << none << R::Refused << u"9001"_s << QStringList{u"Erreur : Carte déjà utilisée"_s};
        QTest::newRow("no code") << SaveMode::Create << CaptureServer::envelope("\"id\":\"5\"") << none
                                 << R::Refused << u"9001"_s << QStringList{u"Erreur : "_s};
        // The platform's own failure ends its processing: a record without the member proves
        // it was not recorded.
        QTest::newRow("platform's 500, not in the record")
            << SaveMode::Create << CaptureServer::status("HTTP/1.1 500 Internal Server Error", "{}")
            << nomember() << R::NotSent << u"9001"_s
            << QStringList{u"Erreur technique : HTTP/1.1 500 Internal Server Error"_s};
        QTest::newRow("turned away unread")
            << SaveMode::Update << CaptureServer::status("HTTP/1.1 401 Unauthorized", "{}") << none
            << R::NotSent << u"9001"_s << QStringList{u"Erreur technique : HTTP/1.1 401 Unauthorized"_s};
        QTest::newRow("unreadable reply, not in the record")
            << SaveMode::Create << CaptureServer::ok("{}") << nomember() << R::NotSent << u"9001"_s
            << QStringList{u"Erreur Format Réponse API"_s};
        QTest::newRow("envelope not an object, not in the record")
            << SaveMode::Create << CaptureServer::ok("{\"ApiReturn\":[]}") << nomember() << R::NotSent
            << u"9001"_s << QStringList{u"Erreur Format Réponse API"_s};
        // Cut after it left: its absence proves nothing yet.
        QTest::newRow("connection lost after sending, not in the record yet")
            << SaveMode::Update << CaptureServer::closed() << holder("9001", "Durand") << R::Unconfirmed
            << u"9001"_s
            << QStringList{u"Erreur technique : Le serveur a fermé la connexion sans répondre."_s,
                           u"La plateforme n'a pas confirmé la modification de la fiche de MME Léa Dupont"_s};
        QTest::newRow("connection lost after sending, the record could not be read")
            << SaveMode::Create << CaptureServer::closed() << CaptureServer::closed() << R::Unconfirmed
            << u"9001"_s
            << QStringList{u"Erreur technique : Le serveur a fermé la connexion sans répondre."_s,
                           u"La plateforme n'a pas confirmé l'adhésion de MME Léa Dupont (carte 1234567)"_s};
        QTest::newRow("enrolment lost, found in the record")
            << SaveMode::Create << CaptureServer::closed() << holder("77") << R::Saved << u"77"_s
            << QStringList{
                   u"Erreur technique : Le serveur a fermé la connexion sans répondre."_s,
                   u"L'adhésion de MME Léa Dupont (carte 1234567) a bien été enregistrée par la plateforme."_s};
    }
    void save()
    {
        QFETCH(SaveMode, mode);
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(CaptureServer::Reply, record);
        QFETCH(MemberSession::Outcome::Result, result);
        QFETCH(QString, id);
        QFETCH(QStringList, shown);
        ConnectionRig rig;
        SessionRig sessions(rig);
        Member member;
        changedmember(member);
        const QString text = member.tostrjson(mode);
        rig.server.enqueue(answer);
        const bool lookup = !record.bytes.isEmpty() || record.kind == CaptureServer::Reply::Kind::Closed;
        if (lookup)
            rig.server.enqueue(record);

        const MemberSession::Outcome outcome = sessions.session.save(member, mode);
        QCOMPARE(outcome.result, result);
        QCOMPARE(outcome.saved(), result == MemberSession::Outcome::Result::Saved);
        QVERIFY(!outcome.childrenpending);
        QCOMPARE(rig.server.requests().size(), lookup ? 2 : 1);
        QCOMPARE(CaptureServer::bodyof(rig.server.requests().at(0)), bodyof(text));
        if (lookup)
            QVERIFY(rig.server.requests().at(1).startsWith("POST "));
        QCOMPARE(outcome.messages.size(), shown.size());
        for (qsizetype i = 0; i < shown.size(); ++i)
            QVERIFY2(outcome.messages.at(i).startsWith(shown.at(i)), qPrintable(outcome.messages.at(i)));
        QCOMPARE(member.Getid(), id);
        QCOMPARE(outcome.mode, outcome.saved() ? SaveMode::Update : mode);
        if (!outcome.saved()) {
            // Nothing changed: the same save can be tried again.
            QCOMPARE(member.tostrjson(mode), text);
        }
    }

    // An enrolment whose reply was lost and that the record could not show yet is never sent
    // again while it is not known: the next save reads the record first.
    void lostEnrolmentReadBeforeSendingAgain()
    {
        ConnectionRig rig;
        SessionRig sessions(rig);
        Member member;
        changedmember(member);
        rig.server.enqueue(CaptureServer::closed());
        rig.server.enqueue(nomember());
        QCOMPARE(sessions.session.save(member, SaveMode::Create).result,
                 MemberSession::Outcome::Result::Unconfirmed);

        // Still absent, the platform may still be processing it: nothing is sent.
        rig.server.enqueue(nomember());
        const MemberSession::Outcome pending = sessions.session.save(member, SaveMode::Create);
        QCOMPARE(pending.result, MemberSession::Outcome::Result::Unconfirmed);
        QCOMPARE(pending.messages.size(), 1);
        QVERIFY2(pending.messages.at(0).contains(u"envoyée plus tôt"_s), qPrintable(pending.messages.at(0)));
        QCOMPARE(rig.server.requests().size(), 3);

        // Now in the record: the save updates that member instead of enrolling it again.
        rig.server.enqueue(holder("77"));
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"77\""));
        const MemberSession::Outcome saved = sessions.session.save(member, SaveMode::Create);
        QCOMPARE(saved.result, MemberSession::Outcome::Result::Saved);
        QCOMPARE(
            saved.messages,
            QStringList{
                u"L'adhésion de MME Léa Dupont (carte 1234567) a bien été enregistrée par la plateforme."_s});
        QCOMPARE(rig.server.requests().size(), 5);
        QVERIFY(CaptureServer::bodyof(rig.server.requests().at(4))
                    .startsWith(R"(json_data={"FidelityMember" : {"id":"77",)"));
        QCOMPARE(member.Getid(), u"77"_s);
    }

    // Only flagged children that are not marked for deletion are sent; a new child of a member
    // being enrolled carries the member's new id and receives its own.
    void childrenSent()
    {
        ConnectionRig rig;
        SessionRig sessions(rig);
        Member member;
        member.childrenadd(u"c1"_s, u"Léa"_s, u"F"_s, u"04032015"_s); // unchanged
        member.childrenadd(u"c2"_s, u"Tom"_s, u"M"_s, QString());     // changed below
        member.childrenadd(u"c3"_s, u"Max"_s, u"M"_s, QString());     // changed, then deleted
        member.childrenupdate(1, u"Léa"_s, u"F"_s, u"04032015"_s, false);
        member.childrenupdate(2, u"Tom"_s, u"M"_s, u"01012018"_s, false);
        member.childrenupdate(3, u"Maxime"_s, u"M"_s, QString(), true);
        member.childrenupdate(4, u"Zoé"_s, u"F"_s, QString(), false); // new row of the form
        member.childrenupdate(5, u"Noé"_s, u"M"_s, QString(), true);  // new row, deleted
        member.Setnbenfants(5);
        member.Setnom(u"Durand"_s);

        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"500\""));
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"c2\""));
        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"c4\""));
        const MemberSession::Outcome created = sessions.session.save(member, SaveMode::Create);
        QVERIFY(created.saved());
        QVERIFY(created.messages.isEmpty());
        QVERIFY(!created.childrenpending);

        const QList<QByteArray>& requests = rig.server.requests();
        QCOMPARE(requests.size(), 3);
        QCOMPARE(CaptureServer::bodyof(requests.at(1)),
                 QByteArray("json_data={\"FidelityMemberChild\" : {\"id\":\"c2\",\"firstname\":\"Tom\","
                            "\"sex\":\"M\",\"birthday\":\"2018-01-01\"}}"));
        QCOMPARE(CaptureServer::bodyof(requests.at(2)),
                 QByteArray("json_data={\"FidelityMemberChild\" : {\"parent\":{\"id\":\"500\"},"
                            "\"firstname\":\"Zo\xC3\xA9\",\"sex\":\"F\"}}"));
        QCOMPARE(member.Getid(), u"500"_s);
        QCOMPARE(member.enfant(4).id, u"c4"_s);
        QVERIFY(member.enfant(5).id.isEmpty());

        // A second save sends every flagged child again; the new one now as an existing child.
        for (int i = 0; i < 3; ++i)
            rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"500\""));
        const MemberSession::Outcome updated = sessions.session.save(member, SaveMode::Update);
        QVERIFY(updated.saved());
        QVERIFY(updated.messages.isEmpty());
        QCOMPARE(requests.size(), 6);
        QCOMPARE(member.enfant(4).id, u"c4"_s);
        QCOMPARE(
            CaptureServer::bodyof(requests.at(5)),
            QByteArray("json_data={\"FidelityMemberChild\" : {\"id\":\"c4\",\"firstname\":\"Zo\xC3\xA9\","
                       "\"sex\":\"F\"}}"));
    }

    // A member loaded with twelve children holds the first ten; the two others are never sent,
    // whatever the user changes in the ten shown.
    void childrenBeyondTenAreNeverSent()
    {
        QByteArrayList children;
        for (int i = 1; i <= 12; ++i)
            children.append("{\"id\":\"c" + QByteArray::number(i) + "\",\"firstname\":\"E" +
                            QByteArray::number(i) + "\",\"sex\":\"F\"}");
        const std::optional<JsonValue> reply =
            parsejson("{\"FidelityMember\":{\"id\":\"9001\",\"cardnumber\":\"1234567\",\"children\":[" +
                      children.join(',') + "]}}");
        QVERIFY(reply);
        Member member;
        member.fromjson(*reply->find("FidelityMember"));
        QCOMPARE(member.childrenleftout(), 2);
        // The form opened for modification: ten rows, every one changed.
        member.charge();
        for (int k = 1; k <= Member::maxenfants; ++k)
            member.childrenupdate(k, u"N"_s + QString::number(k), u"M"_s, QString(), false);
        member.Setnbenfants(Member::maxenfants);

        ConnectionRig rig;
        SessionRig sessions(rig);
        for (int i = 0; i <= Member::maxenfants; ++i)
            rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\""));
        const MemberSession::Outcome outcome = sessions.session.save(member, SaveMode::Update);
        QVERIFY(outcome.saved());
        QVERIFY(outcome.messages.isEmpty());
        const QList<QByteArray>& requests = rig.server.requests();
        QCOMPARE(requests.size(), 1 + Member::maxenfants);
        QCOMPARE(CaptureServer::bodyof(requests.at(10)),
                 QByteArray("json_data={\"FidelityMemberChild\" : {\"id\":\"c10\",\"firstname\":\"N10\","
                            "\"sex\":\"M\"}}"));
        for (const QByteArray& request : requests) {
            QVERIFY(!request.contains("\"c11\""));
            QVERIFY(!request.contains("\"c12\""));
        }
    }

    // The first child that is not recorded stops the children; one whose reply is lost is looked
    // for at once among the parent's children.
    void childFailureStopsTheLoop_data()
    {
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<CaptureServer::Reply>("record");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("id");
        const QByteArray parent =
            R"({"FidelityMember":{"id":9001,"cardnumber":"1234567","name":"Dupont","children":)";
        const CaptureServer::Reply none;
        QTest::newRow("refusal shows only the platform's message")
            << CaptureServer::envelope(
                   "\"code\":\"KO\",\"errorCode\":\"33\",\"errorMessage\":\"Enfant refus\xC3\xA9\"")
            << none << QStringList{u"Erreur : Enfant refusé"_s} << QString();
        QTest::newRow("gateway gave up, not among the children yet")
            << CaptureServer::status("HTTP/1.1 503 Service Unavailable", "")
            << CaptureServer::ok(parent + "\"\"}}")
            << QStringList{u"Erreur technique : HTTP/1.1 503 Service Unavailable"_s,
                           u"La plateforme n'a pas confirmé l'inscription de l'enfant Léa"_s}
            << QString();
        QTest::newRow("unreadable reply, not among the children")
            << CaptureServer::ok("[]") << CaptureServer::ok(parent + "\"\"}}")
            << QStringList{u"Erreur Format Réponse API"_s} << QString();
        // A child of the same name that was there before is another child.
        QTest::newRow("lost reply, a new child among the children")
            << CaptureServer::closed()
            << CaptureServer::ok(parent + R"([{"id":"c0","firstname":"L\u00e9a","sex":"F"},)"
                                          R"({"id":"c9","firstname":"L\u00e9a","sex":"F"}]}})")
            << QStringList{u"Erreur technique : La connexion a été coupée après l'envoi de la demande"_s,
                           u"L'inscription de l'enfant Léa sur la fiche de MME Léa Dupont a bien été enregistrée"_s}
            << u"c9"_s;
    }
    void childFailureStopsTheLoop()
    {
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(CaptureServer::Reply, record);
        QFETCH(QStringList, shown);
        QFETCH(QString, id);
        ConnectionRig rig;
        SessionRig sessions(rig);
        Member member;
        changedmember(member);
        member.childrenadd(u"c0"_s, u"Léa"_s, u"F"_s, QString());
        member.childrenupdate(2, u"Léa"_s, u"F"_s, QString(), false);
        member.childrenupdate(3, u"Tom"_s, u"M"_s, QString(), false);
        member.Setnbenfants(3);

        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\""));
        rig.server.enqueue(answer);
        const bool lookup = !record.bytes.isEmpty();
        if (lookup)
            rig.server.enqueue(record);
        // Tom follows only a child found recorded.
        if (!id.isEmpty())
            rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"c10\""));
        const MemberSession::Outcome outcome = sessions.session.save(member, SaveMode::Update);
        QVERIFY(outcome.saved());
        QCOMPARE(outcome.childrenpending, id.isEmpty());
        QCOMPARE(rig.server.requests().size(), 2 + (lookup ? 1 : 0) + (id.isEmpty() ? 0 : 1));
        QCOMPARE(outcome.messages.size(), shown.size());
        for (qsizetype i = 0; i < shown.size(); ++i)
            QVERIFY2(outcome.messages.at(i).startsWith(shown.at(i)), qPrintable(outcome.messages.at(i)));
        QCOMPARE(member.enfant(2).id, id);
    }
};

QTEST_GUILESS_MAIN(TestMemberSave)
#include "tst_membersave.moc"
