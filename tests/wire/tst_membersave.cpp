#include "ConnectionRig.h"
#include "api/JsonValue.h"
#include "members/Member.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(CaptureServer::Reply)

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
        QTest::addColumn<QString>("context");
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("update accepted")
            << u"update"_s << CaptureServer::envelope("\"code\":\"OK\",\"id\":\"9001\"") << true << u"9001"_s
            << QStringList();
        QTest::newRow("create accepted stores the id")
            << u"create"_s
            << CaptureServer::envelope("\"code\":\"OK\",\"message\":\"cr\xC3\xA9\xC3\xA9\",\"id\":77") << true
            << u"77"_s << QStringList();
        QTest::newRow("update keeps its id")
            << u"update"_s << CaptureServer::envelope("\"code\":\"OK\",\"id\":\"1\"") << true << u"9001"_s
            << QStringList();
        QTest::newRow("33") << u"create"_s
                            << CaptureServer::envelope(
                                   "\"code\":\"KO\",\"errorCode\":\"33\",\"errorMessage\":\"x\"")
                            << false << u"9001"_s
                            << QStringList{u"Erreur : Num Carte invalide, Veuillez taper un autre numéro"_s};
        QTest::newRow("3008 as a number")
            << u"update"_s << CaptureServer::envelope("\"code\":\"KO\",\"errorCode\":3008") << false
            << u"9001"_s
            << QStringList{
                   u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s};
        QTest::newRow("other refusal")
            << u"create"_s
            << CaptureServer::envelope(
                   "\"code\":\"ERROR\",\"errorCode\":\"12\",\"errorMessage\":\"Carte d\xC3\xA9j\xC3\xA0 "
                   "utilis\xC3\xA9"
                   "e\"")
            << false << u"9001"_s << QStringList{u"Erreur : Carte déjà utilisée"_s};
        QTest::newRow("no code") << u"create"_s << CaptureServer::envelope("\"id\":\"5\"") << false
                                 << u"9001"_s << QStringList{u"Erreur : "_s};
        QTest::newRow("transport failure")
            << u"create"_s << CaptureServer::status("HTTP/1.1 500 Internal Server Error", "{}") << false
            << u"9001"_s << QStringList{u"Erreur technique : HTTP/1.1 500 Internal Server Error"_s};
        QTest::newRow("unreadable reply") << u"update"_s << CaptureServer::ok("{}") << false << u"9001"_s
                                          << QStringList{u"Erreur Format Réponse API"_s};
    }
    void save()
    {
        QFETCH(QString, context);
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(bool, saved);
        QFETCH(QString, id);
        QFETCH(QStringList, shown);
        ConnectionRig rig;
        Member member;
        changedmember(member);
        const QString text = member.tostrjson(context);
        rig.server.enqueue(answer);

        QCOMPARE(member.save(context, *rig.connexion, rig.dialogs), saved);
        QCOMPARE(rig.server.requests().size(), 1);
        QCOMPARE(CaptureServer::bodyof(rig.server.requests().at(0)), bodyof(text));
        QCOMPARE(rig.dialogs.texts(), shown);
        QCOMPARE(member.Getid(), id);
        if (!saved) {
            // Nothing changed: the same save can be tried again.
            QCOMPARE(member.tostrjson(context), text);
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
        QVERIFY(member.save(u"create"_s, *rig.connexion, rig.dialogs));
        QVERIFY(rig.dialogs.texts().isEmpty());

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
        QVERIFY(member.save(u"update"_s, *rig.connexion, rig.dialogs));
        QVERIFY(rig.dialogs.texts().isEmpty());
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
        QVERIFY(member.save(u"update"_s, *rig.connexion, rig.dialogs));
        QVERIFY(rig.dialogs.texts().isEmpty());
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
        QVERIFY(member.save(u"update"_s, *rig.connexion, rig.dialogs));
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(rig.dialogs.texts(), shown);
        QVERIFY(member.enfant(1).id.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMemberSave)
#include "tst_membersave.moc"
