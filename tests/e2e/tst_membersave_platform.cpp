#include "LocalPlatform.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "members/Member.h"
#include "members/MemberSession.h"
#include "platform/Clock.h"
#include "settings/Settings.h"

#include <QTest>

// A member enrolled on the local platform can be found again by its card number and reads back
// with the values it was sent with.
class TestMemberSavePlatform : public QObject
{
    Q_OBJECT
private slots:
    void createdMemberReadsBack()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const QString url = platform.apiurl();
        ReplyBuffer buffer;
        CounterClient counter(buffer, [url] { return url; });
        counter.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        Connection connexion(counter.client(), buffer, [url] { return url; });
        Settings settings;
        ScriptedDialogs dialogs;
        SystemClock clock;
        MemberSession session(MemberSession::Context{connexion, counter, settings, dialogs, clock});

        Member sent;
        sent.init();
        sent.Setcardnumber(QStringLiteral("7654321"));
        sent.Setnom(QStringLiteral("LEFÈVRE"));
        sent.Setprenom(QStringLiteral("Zoé \"Zaza\""));
        sent.Setcivilite(QStringLiteral("MME"));
        sent.Setemail(QStringLiteral("zoe@example.fr"));
        sent.Setmailoptin(true);
        sent.Setmobile(QStringLiteral("0612345678"));
        sent.Setteloptin(false);
        sent.Setdatenaissance(QStringLiteral("05031990"));
        sent.chargeadresse(QStringLiteral("3 rue des Lilas"), QString(), QStringLiteral("69003"),
                           QStringLiteral("Lyon"));
        sent.Setcisport(1);
        sent.Setcibebe(1);
        sent.childrenadd(QString(), QStringLiteral("Léo"), QStringLiteral("M"), QStringLiteral("12072015"));
        sent.childrenupdate(1, QStringLiteral("Léon"), QStringLiteral("M"), QStringLiteral("12072015"),
                            false);
        const MemberSession::Outcome outcome = session.save(sent, SaveMode::Create);
        QVERIFY(outcome.saved());
        QVERIFY2(outcome.messages.isEmpty(), qPrintable(outcome.messages.join(u'|')));
        QVERIFY(!sent.Getid().isEmpty());

        const HttpReply reply = counter.postform(
            QStringLiteral("json_data={ \"FidelityMember\":{\"actif\":\"1\",\"group\":{\"idExternal\":\"") +
            LocalPlatform::demoidpharma() + QStringLiteral("\" },\"cardnumber\":\"7654321\"}}"));
        QVERIFY2(reply.ok, qPrintable(reply.failure));
        const auto document = parsejson(buffer.bytes());
        QVERIFY(document && document->isObject());
        const JsonValue* object = document->find("FidelityMember");
        QVERIFY2(object, buffer.bytes().constData());

        Member loaded;
        loaded.fromjson(*object);
        QCOMPARE(loaded.Getid(), sent.Getid());
        QCOMPARE(loaded.Getcardnumber(), sent.Getcardnumber());
        QCOMPARE(loaded.Getnom(), sent.Getnom());
        QCOMPARE(loaded.Getprenom(), sent.Getprenom());
        QCOMPARE(loaded.Getcivilite(), sent.Getcivilite());
        QCOMPARE(loaded.Getemail(), sent.Getemail());
        QCOMPARE(loaded.Getmailoptin(), true);
        QCOMPARE(loaded.Getmobile(), sent.Getmobile());
        QCOMPARE(loaded.Getteloptin(), false);
        QCOMPARE(loaded.Getdatenaissance(), sent.Getdatenaissance());
        QCOMPARE(loaded.Getadresse(), sent.Getadresse());
        QCOMPARE(loaded.Getcp(), sent.Getcp());
        QCOMPARE(loaded.Getville(), sent.Getville());
        QCOMPARE(loaded.Getcisport(), 1.0);
        QCOMPARE(loaded.Getcibebe(), 1.0);
        QCOMPARE(loaded.Getcipara(), 0.0);
        QCOMPARE(loaded.Getnbenfants(), 1);
        QCOMPARE(loaded.prnenfant(1), QStringLiteral("Léon"));
        QCOMPARE(loaded.dtnenfant(1), QStringLiteral("12072015"));
    }
};

QTEST_GUILESS_MAIN(TestMemberSavePlatform)
#include "tst_membersave_platform.moc"
