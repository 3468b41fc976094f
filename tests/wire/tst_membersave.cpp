#include "ConnectionRig.h"
#include "api/JsonValue.h"
#include "members/Member.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(CaptureServer::Reply)
Q_DECLARE_METATYPE(SaveMode)
Q_DECLARE_METATYPE(Member::SaveOutcome::Result)

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
    member.charge();
    member.Setnom(u"Dupont"_s);
    member.Setcisport(1);
}

} // namespace

class TestMemberSave : public QObject
{
    Q_OBJECT

private slots:
    void save_data()
    {
        using R = Member::SaveOutcome::Result;
        QTest::addColumn<SaveMode>("mode");
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<R>("result");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("update accepted") << SaveMode::Update << CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\"")
                                         << R::Saved << u"9001"_s << QStringList();
        QTest::newRow("create accepted stores the id")
            << SaveMode::Create << CaptureServer::envelope("\"code\":\"OK\",\"message\":\"cr\xC3\xA9\xC3\xA9\",\"id\":77")
            << R::Saved << u"77"_s << QStringList();
        QTest::newRow("update keeps its id") << SaveMode::Update << CaptureServer::envelope("\"code\":\"OK\",\"id\":\"1\"")
                                             << R::Saved << u"9001"_s << QStringList();
        QTest::newRow("33") << SaveMode::Create
                            << CaptureServer::envelope("\"code\":\"KO\",\"errorCode\":\"33\",\"errorMessage\":\"x\"")
                            << R::Refused << u"9001"_s
                            << QStringList{u"Erreur : Num Carte invalide, Veuillez taper un autre numéro"_s};
        QTest::newRow("3008 as a number")
            << SaveMode::Update << CaptureServer::envelope("\"code\":\"KO\",\"errorCode\":3008") << R::Refused << u"9001"_s
            << QStringList{
                   u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s};
        QTest::newRow("other refusal")
            << SaveMode::Create
            << CaptureServer::envelope("\"code\":\"ERROR\",\"errorCode\":\"12\",\"errorMessage\":\"Carte d\xC3\xA9j\xC3\xA0 "
                        "utilis\xC3\xA9"
                        "e\"")
            << R::Refused << u"9001"_s << QStringList{u"Erreur : Carte déjà utilisée"_s};
        QTest::newRow("no code") << SaveMode::Create << CaptureServer::envelope("\"id\":\"5\"") << R::Refused << u"9001"_s
                                 << QStringList{u"Erreur : "_s};
        QTest::newRow("transport failure")
            << SaveMode::Create << CaptureServer::status("HTTP/1.1 500 Internal Server Error", "{}")
            << R::Unconfirmed << u"9001"_s
            << QStringList{u"Erreur technique : HTTP/1.1 500 Internal Server Error"_s};
        QTest::newRow("turned away unread")
            << SaveMode::Update << CaptureServer::status("HTTP/1.1 401 Unauthorized", "{}") << R::NotSent
            << u"9001"_s << QStringList{u"Erreur technique : HTTP/1.1 401 Unauthorized"_s};
        QTest::newRow("connection lost after sending")
            << SaveMode::Update << CaptureServer::closed() << R::Unconfirmed << u"9001"_s
            << QStringList{u"Erreur technique : Le serveur a fermé la connexion sans répondre."_s};
        QTest::newRow("unreadable reply") << SaveMode::Update << CaptureServer::ok("{}") << R::Unconfirmed
                                          << u"9001"_s << QStringList{u"Erreur Format Réponse API"_s};
        QTest::newRow("envelope not an object")
            << SaveMode::Update << CaptureServer::ok("{\"ApiReturn\":[]}") << R::Unconfirmed << u"9001"_s
            << QStringList{u"Erreur Format Réponse API"_s};
    }
    void save()
    {
        QFETCH(SaveMode, mode);
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(Member::SaveOutcome::Result, result);
        QFETCH(QString, id);
        QFETCH(QStringList, shown);
        ConnectionRig rig;
        Member member;
        changedmember(member);
        const QString text = member.tostrjson(mode);
        rig.server.enqueue(answer);

        const Member::SaveOutcome outcome = member.save(mode, *rig.connexion);
        QCOMPARE(outcome.result, result);
        QCOMPARE(outcome.saved(), result == Member::SaveOutcome::Result::Saved);
        QVERIFY(!outcome.childrenpending);
        QCOMPARE(rig.server.requests().size(), 1);
        QCOMPARE(CaptureServer::bodyof(rig.server.requests().at(0)), bodyof(text));
        QCOMPARE(outcome.messages, shown);
        QCOMPARE(member.Getid(), id);
        if (!outcome.saved()) {
            // Nothing changed: the same save can be tried again.
            QCOMPARE(member.tostrjson(mode), text);
        }
    }

    // Only flagged children that are not marked for deletion are sent; a new child of a member
    // being enrolled carries the member's new id and receives its own.
    void childrenSent()
    {
        ConnectionRig rig;
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
        const Member::SaveOutcome created = member.save(SaveMode::Create, *rig.connexion);
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
        const Member::SaveOutcome updated = member.save(SaveMode::Update, *rig.connexion);
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
        for (int i = 0; i <= Member::maxenfants; ++i)
            rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\""));
        const Member::SaveOutcome outcome = member.save(SaveMode::Update, *rig.connexion);
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

    void childFailureStopsTheLoop_data()
    {
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("refusal shows only the platform's message")
            << CaptureServer::envelope(
                   "\"code\":\"KO\",\"errorCode\":\"33\",\"errorMessage\":\"Enfant refus\xC3\xA9\"")
            << QStringList{u"Erreur : Enfant refusé"_s};
        QTest::newRow("transport failure")
            << CaptureServer::status("HTTP/1.1 503 Service Unavailable", "")
            << QStringList{u"Erreur technique : HTTP/1.1 503 Service Unavailable"_s};
        QTest::newRow("unreadable reply")
            << CaptureServer::ok("[]") << QStringList{u"Erreur Format Réponse API"_s};
    }
    void childFailureStopsTheLoop()
    {
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(QStringList, shown);
        ConnectionRig rig;
        Member member;
        changedmember(member);
        member.childrenupdate(1, u"Léa"_s, u"F"_s, QString(), false);
        member.childrenupdate(2, u"Tom"_s, u"M"_s, QString(), false);
        member.Setnbenfants(2);

        rig.server.enqueue(CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\""));
        rig.server.enqueue(answer);
        const Member::SaveOutcome outcome = member.save(SaveMode::Update, *rig.connexion);
        QVERIFY(outcome.saved());
        QVERIFY(outcome.childrenpending);
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(outcome.messages, shown);
        QVERIFY(member.enfant(1).id.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMemberSave)
#include "tst_membersave.moc"
