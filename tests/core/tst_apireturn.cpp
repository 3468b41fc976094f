#include "Raised.h"
#include "api/ApiReturn.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString formaterror = u"Erreur Format Réponse API"_s;

} // namespace

class TestApiReturn : public QObject
{
    Q_OBJECT
private slots:
    void fromtext_data()
    {
        QTest::addColumn<QString>("envelope");
        QTest::addColumn<QStringList>("fields"); // code, message, errorMessage, errorCode, id
        QTest::addColumn<bool>("ok");
        QTest::newRow("accepted") << u"{\"code\":\"OK\",\"message\":\"Enregistré\",\"id\":\"4521\"}"_s
                                  << QStringList{u"OK"_s, u"Enregistré"_s, {}, {}, u"4521"_s} << true;
        QTest::newRow("numbers read as their text")
            << u"{\"code\":\"KO\",\"errorCode\":3008,\"errorMessage\":\"Fiche verrouillée\",\"id\":12}"_s
            << QStringList{u"KO"_s, {}, u"Fiche verrouillée"_s, u"3008"_s, u"12"_s} << false;
        QTest::newRow("null and object read as empty")
            << u"{\"code\":null,\"errorMessage\":{\"x\":1},\"errorCode\":\"33\"}"_s
            << QStringList{{}, {}, {}, u"33"_s, {}} << false;
        QTest::newRow("empty object") << u"{}"_s << QStringList{{}, {}, {}, {}, {}} << false;
        QTest::newRow("code in other case")
            << u"{\"code\":\"ok\"}"_s << QStringList{u"ok"_s, {}, {}, {}, {}} << false;
    }
    void fromtext()
    {
        QFETCH(QString, envelope);
        QFETCH(QStringList, fields);
        QFETCH(bool, ok);
        const ApiReturn r = ApiReturn::fromtext(envelope);
        QCOMPARE((QStringList{r.code, r.message, r.errorMessage, r.errorCode, r.id}), fields);
        QCOMPARE(r.ok(), ok);
    }

    void fromtextRefuses_data()
    {
        QTest::addColumn<QString>("envelope");
        QTest::newRow("-1") << u"-1"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("array") << u"[{\"code\":\"OK\"}]"_s;
        QTest::newRow("text") << u"\"OK\""_s;
        QTest::newRow("broken") << u"{\"code\":\"OK\""_s;
    }
    void fromtextRefuses()
    {
        QFETCH(QString, envelope);
        QCOMPARE(raised([&] { ApiReturn::fromtext(envelope); }), formaterror);
    }

    void envelopemessage_data()
    {
        QTest::addColumn<QString>("errorCode");
        QTest::addColumn<QString>("errorMessage");
        QTest::addColumn<QString>("shown");
        QTest::newRow("33") << u"33"_s << u"ignoré"_s
                            << u"Erreur : Num Carte invalide, Veuillez taper un autre numéro"_s;
        QTest::newRow("3008")
            << u"3008"_s << u"ignoré"_s
            << u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s;
        QTest::newRow("other") << u"12"_s << u"Email déjà utilisé"_s << u"Erreur : Email déjà utilisé"_s;
        QTest::newRow("330 is other") << u"330"_s << u"Code"_s << u"Erreur : Code"_s;
        QTest::newRow("empty") << QString() << QString() << u"Erreur : "_s;
    }
    void envelopemessage()
    {
        QFETCH(QString, errorCode);
        QFETCH(QString, errorMessage);
        QFETCH(QString, shown);
        ApiReturn r;
        r.code = u"KO"_s;
        r.errorCode = errorCode;
        r.errorMessage = errorMessage;
        QCOMPARE(::envelopemessage(r), shown);
    }

    // A number 3008 in the reply reaches the "3008" message through the envelope text.
    void numericErrorCodeReachesItsMessage()
    {
        const QByteArray reply("{\"ApiReturn\":{\"code\":\"KO\",\"errorCode\":3008,\"errorMessage\":\"x\"}}");
        const ApiReturn r = ApiReturn::fromtext(QString::fromUtf8(::extractenvelope(reply)));
        QCOMPARE(::envelopemessage(r),
                 u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s);
    }

    void extractenvelope_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("envelope");
        QTest::newRow("compact in reply order")
            << QByteArray(
                   "{\r\n  \"ApiReturn\" : {\r\n    \"id\" : 4521,\r\n    \"code\" : \"OK\",\r\n"
                   "    \"message\" : \"Cr\\u00e9\\u00e9\", \"data\" : [ 1.50 , null ]\r\n  }\r\n}\r\n")
            << QByteArray(
                   "{\"id\":4521,\"code\":\"OK\",\"message\":\"Cr\xC3\xA9\xC3\xA9\",\"data\":[1.50,null]}");
        QTest::newRow("escapes kept")
            << QByteArray("{\"ApiReturn\":{\"errorMessage\":\"a \\\"b\\\"\\n\\\\\"}}")
            << QByteArray("{\"errorMessage\":\"a \\\"b\\\"\\n\\\\\"}");
        QTest::newRow("not first member")
            << QByteArray("{\"list\":[],\"ApiReturn\":{\"code\":\"OK\"}}") << QByteArray("{\"code\":\"OK\"}");
        QTest::newRow("first of duplicates")
            << QByteArray("{\"ApiReturn\":{\"code\":\"KO\"},\"ApiReturn\":{\"code\":\"OK\"}}")
            << QByteArray("{\"code\":\"KO\"}");
        QTest::newRow("not an object") << QByteArray("{\"ApiReturn\":\"OK\"}") << QByteArray("\"OK\"");
    }
    void extractenvelope()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, envelope);
        QCOMPARE(::extractenvelope(reply), envelope);
    }

    void extractenvelopeRefuses_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("[]") << QByteArray("[]");
        QTest::newRow("{}") << QByteArray("{}");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("html") << QByteArray("<html><body>Service indisponible</body></html>");
        QTest::newRow("other record") << QByteArray("{\"FidelityMember\":{\"id\":1}}");
        QTest::newRow("nested only") << QByteArray("{\"x\":{\"ApiReturn\":{}}}");
        QTest::newRow("array holding it") << QByteArray("[{\"ApiReturn\":{}}]");
        QTest::newRow("trailing garbage") << QByteArray("{\"ApiReturn\":{}} x");
        QTest::newRow("truncated") << QByteArray("{\"ApiReturn\":{\"code\":\"OK\"");
    }
    void extractenvelopeRefuses()
    {
        QFETCH(QByteArray, reply);
        QCOMPARE(raised([&] { ::extractenvelope(reply); }), formaterror);
    }
};

QTEST_GUILESS_MAIN(TestApiReturn)
#include "tst_apireturn.moc"
