#include "api/JsonValue.h"
#include "members/Lookup.h"
#include "members/Member.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Lookup::Plan::Action)
Q_DECLARE_METATYPE(Lookup::Reply::Kind)

namespace {

const QString head = u"json_data={ \"FidelityMember\":{\"actif\":\"1\",\"group\":{\"idExternal\":\"42\" },"_s;

} // namespace

class TestLookup : public QObject
{
    Q_OBJECT
private slots:
    void plansearch_data()
    {
        using Action = Lookup::Plan::Action;
        QTest::addColumn<QString>("search");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");

        QTest::newRow("empty") << QString() << Action::Nothing << QString() << QString();
        QTest::newRow("card number") << u"12345"_s << Action::Send << u"12345"_s
                                     << head + u"\"cardnumber\":\"12345\"}}"_s;
        QTest::newRow("decimal comma is numeric")
            << u"12,5"_s << Action::Send << u"12,5"_s << head + u"\"cardnumber\":\"12,5\"}}"_s;
        QTest::newRow("short numeric is sent")
            << u"1.2"_s << Action::Send << u"1.2"_s << head + u"\"cardnumber\":\"1.2\"}}"_s;
        QTest::newRow("two letters") << u"DU"_s << Action::TooShort << QString() << QString();
        QTest::newRow("two letters and a star")
            << u"DU*"_s << Action::Send << u"DU*"_s
            << head + u"\"name_starts_with\":\"DU\",\"firstname_starts_with\":\"\"}}"_s;
        QTest::newRow("surname and first name")
            << u"DUPONT*MA"_s << Action::Send << u"DUPONT*MA"_s
            << head + u"\"name_starts_with\":\"DUPONT\",\"firstname_starts_with\":\"MA\"}}"_s;
        QTest::newRow("surname and star")
            << u"DUPONT*"_s << Action::Send << u"DUPONT*"_s
            << head + u"\"name_starts_with\":\"DUPONT\",\"firstname_starts_with\":\"\"}}"_s;
        QTest::newRow("first star splits")
            << u"A*B*C"_s << Action::Send << u"A*B*C"_s
            << head + u"\"name_starts_with\":\"A\",\"firstname_starts_with\":\"B*C\"}}"_s;
        QTest::newRow("surname") << u"DUPONT"_s << Action::Send << u"DUPONT"_s
                                 << head + u"\"name_starts_with\":\"DUPONT\"}}"_s;
        QTest::newRow("id") << u"ID=42"_s << Action::Send << u"ID=42"_s << head + u"\"id\":\"42\"}}"_s;
        QTest::newRow("id in small letters is a surname")
            << u"id=42"_s << Action::Send << u"id=42"_s << head + u"\"name_starts_with\":\"id=42\"}}"_s;
        QTest::newRow("scanned card")
            << u"3312345678901"_s << Action::Send << u"4567890"_s << head + u"\"cardnumber\":\"4567890\"}}"_s;
        QTest::newRow("demo card scanned")
            << u"3300010100016"_s << Action::Send << u"1010001"_s << head + u"\"cardnumber\":\"1010001\"}}"_s;
        QTest::newRow("13 digits without 33") << u"4412345678901"_s << Action::Send << u"4412345678901"_s
                                              << head + u"\"cardnumber\":\"4412345678901\"}}"_s;
        QTest::newRow("12 characters with 33") << u"331234567890"_s << Action::Send << u"331234567890"_s
                                               << head + u"\"cardnumber\":\"331234567890\"}}"_s;
        QTest::newRow("13 characters with 33, not digits")
            << u"33ABCDEFGHIJK"_s << Action::Send << u"DEFGHIJ"_s
            << head + u"\"name_starts_with\":\"DEFGHIJ\"}}"_s;
        QTest::newRow("double quote escaped") << u"DU\"PONT"_s << Action::Send << u"DU\"PONT"_s
                                              << head + u"\"name_starts_with\":\"DU\\\"PONT\"}}"_s;
        QTest::newRow("quote cannot add a field")
            << u"X\",\"actif\":\"0"_s << Action::Send << u"X\",\"actif\":\"0"_s
            << head + u"\"name_starts_with\":\"X\\\",\\\"actif\\\":\\\"0\"}}"_s;
        QTest::newRow("backslash in an id")
            << u"ID=4\\2"_s << Action::Send << u"ID=4\\2"_s << head + u"\"id\":\"4\\\\2\"}}"_s;
        QTest::newRow("accents kept")
            << u"LEFÈVRE"_s << Action::Send << u"LEFÈVRE"_s << head + u"\"name_starts_with\":\"LEFÈVRE\"}}"_s;
    }
    void plansearch()
    {
        QFETCH(QString, search);
        QFETCH(Lookup::Plan::Action, action);
        QFETCH(QString, text);
        QFETCH(QString, line);
        const Lookup::Plan plan = Lookup::plansearch(search, u"42"_s);
        QCOMPARE(plan.action, action);
        QCOMPARE(plan.text, text);
        QCOMPARE(plan.line, line);
    }

    void pharmacyIdIsEscapedToo()
    {
        QCOMPARE(Lookup::pharmacyfragment(u"4\"2"_s), u"\"group\":{\"idExternal\":\"4\\\"2\" },"_s);
    }

    void readreply_data()
    {
        using Kind = Lookup::Reply::Kind;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("member") << QByteArray(R"({"FidelityMember":{"id":7,"cardnumber":"1"}})")
                                << Kind::Member << QString();
        QTest::newRow("unknown client") << QByteArray(R"({"ApiReturn":{"code":"KO","errorCode":"3008"}})")
                                        << Kind::Refusal << u"Client inconnu"_s;
        QTest::newRow("unknown client, code as number")
            << QByteArray(R"({"ApiReturn":{"code":"KO","errorCode":3008,"errorMessage":"x"}})")
            << Kind::Refusal << u"Client inconnu"_s;
        QTest::newRow("other refusal")
            << QByteArray("{\"ApiReturn\":{\"code\":\"KO\",\"message\":\"\",\"errorCode\":12,"
                          "\"errorMessage\":\"Groupe refus\xC3\xA9\"}}")
            << Kind::Refusal << u"Erreur :12 Groupe refusé"_s;
        QTest::newRow("refusal without fields")
            << QByteArray(R"({"ApiReturn":{}})") << Kind::Refusal << u"Erreur : "_s;
        QTest::newRow("other first name")
            << QByteArray(R"({"Sent":{},"list":[]})") << Kind::Other << QString();
        QTest::newRow("empty object") << QByteArray("{}") << Kind::Other << QString();
        QTest::newRow("array") << QByteArray("[]") << Kind::Invalid << Lookup::invalidreplymessage();
        QTest::newRow("cut short") << QByteArray(R"({"FidelityMember":{"id":)") << Kind::Invalid
                                   << Lookup::invalidreplymessage();
        QTest::newRow("html page") << QByteArray("<html>erreur</html>") << Kind::Invalid
                                   << Lookup::invalidreplymessage();
        QTest::newRow("empty reply") << QByteArray() << Kind::Invalid << Lookup::invalidreplymessage();
        QTest::newRow("list not an array")
            << QByteArray(R"({"list":{}})") << Kind::Invalid << Lookup::invalidreplymessage();
    }
    void readreply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Lookup::Reply::Kind, kind);
        QFETCH(QString, message);
        const Lookup::Reply reply = Lookup::readreply(bytes);
        QCOMPARE(reply.kind, kind);
        QCOMPARE(reply.message, message);
    }

    void listRowsInReplyOrderWithEveryField()
    {
        const Lookup::Reply reply =
            Lookup::readreply("{\"list\":[{\"id\":12,\"cardnumber\":\"1010007\",\"name\":\"LEF\xC3\x88VRE\","
                              "\"firstname\":\"\xC3\x89lodie\","
                              "\"nbPoint\":35,\"address\":{\"line1\":\"3 rue des \xC3\x89"
                              "coles\",\"zip\":\"69001\",\"town\":\"Lyon\"}},"
                              "{\"id\":\"9\",\"name\":\"MARTIN\"},"
                              "{\"id\":10,\"address\":\"\",\"nbPoint\":null}]}\r\n");
        QCOMPARE(reply.kind, Lookup::Reply::Kind::List);
        QCOMPARE(reply.rows.size(), std::size_t(3));
        QCOMPARE(reply.rows[0], (QStringList{u"12"_s, u"1010007"_s, u"LEFÈVRE"_s, u"Élodie"_s,
                                             u"3 rue des Écoles"_s, u"69001"_s, u"Lyon"_s, u"35"_s}));
        // No address, no points: empty cells.
        QCOMPARE(reply.rows[1], (QStringList{u"9"_s, {}, u"MARTIN"_s, {}, {}, {}, {}, {}}));
        QCOMPARE(reply.rows[2], (QStringList{u"10"_s, {}, {}, {}, {}, {}, {}, {}}));
    }

    void emptyListHasNoRow()
    {
        const Lookup::Reply reply = Lookup::readreply(R"({"list":[]})");
        QCOMPARE(reply.kind, Lookup::Reply::Kind::List);
        QVERIFY(reply.rows.empty());
    }

    void namesAndAddressFromTheRecord()
    {
        const Lookup::Reply reply = Lookup::readreply(
            R"({"FidelityMember":{"id":3,"cardnumber":"1","name":"DUPONT","firstname":"Marie","gender":"MME",)"
            R"("address":{"line1":"1 place Bellecour","line2":"bis","zip":"69002","town":"Lyon"}}})");
        Member member;
        member.fromjson(reply.member);
        QCOMPARE(Lookup::nameline(member), u"MME Marie DUPONT"_s);
        QCOMPARE(Lookup::addressline(member), u"1 place Bellecour 69002 Lyon"_s);
        // Missing parts leave their blanks.
        member.init();
        QCOMPARE(Lookup::nameline(member), u"  "_s);
    }

    void failuremessages_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("statusline");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("refusal by status")
            << 500 << QByteArray("HTTP/1.1 500 Internal Server Error") << QByteArray("panne")
            << u"HTTP/1.1 500 Internal Server Error"_s
            << QStringList{
                   u"HTTP/1.1 500 Internal Server Error panne "_s,
                   u"Erreur Accés Serveur Gestionnaire Fidélité : 500 HTTP/1.1 500 Internal Server Error"_s};
        QTest::newRow("no connection")
            << 0 << QByteArray() << QByteArray() << u"Erreur de socket n° 111\nConnexion refusée."_s
            << QStringList{u"Erreur de socket n° 111\nConnexion refusée."_s};
    }
    void failuremessages()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, statusline);
        QFETCH(QByteArray, body);
        QFETCH(QString, failure);
        QFETCH(QStringList, messages);
        HttpReply reply;
        reply.status = status;
        reply.statusline = statusline;
        reply.body = body;
        reply.failure = failure;
        QCOMPARE(Lookup::failuremessages(reply), messages);
    }
};

QTEST_GUILESS_MAIN(TestLookup)
#include "tst_lookup.moc"
