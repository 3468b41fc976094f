#include "Raised.h"

#include "api/JsonGetters.h"

#include <QTest>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

JsonValue parsed(const QByteArray& json)
{
    std::optional<JsonValue> v = parsejson(json);
    if (!v)
        qFatal("fixture is not JSON: %s", json.constData());
    return std::move(*v);
}

} // namespace

class TestJsonGetters : public QObject
{
    Q_OBJECT
private slots:
    // Every kind of value under every getter. The member "v" holds the value ("absent": no such
    // member). When the value converts, the try form answers true and both forms give `result`;
    // otherwise the try form answers false with an empty or false result and the strict form
    // raises `error`.
    void conversion_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("getter");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QString>("error");

        const QString text = u"text"_s, flag = u"flag"_s, number = u"number"_s;
        auto ok = [](const char* name, const char* value, const QString& getter, const QVariant& result) {
            QTest::newRow(name) << QByteArray(value) << getter << result << QString();
        };
        auto fails = [](const char* name, const char* value, const QString& getter, const QString& error) {
            QTest::newRow(name) << QByteArray(value) << getter << QVariant() << error;
        };
        const QString notbool = u"' n'est pas une valeur booléenne"_s;
        const QString notfloat = u"' n'est pas une valeur en virgule flottante correcte"_s;

        // JSON string
        ok("string text", "\"Ren\xC3\xA9\"", text, u"René"_s);
        ok("string empty text", "\"\"", text, QString());
        ok("string TRUE", "\"TRUE\"", flag, true);
        ok("string False", "\"False\"", flag, false);
        ok("string 0", "\"0\"", flag, false);
        ok("string -0.0", "\"-0.0\"", flag, false);
        ok("string 2.5", "\"2.5\"", flag, true);
        ok("string 0.001", "\"0.001\"", flag, true);
        ok("string blanks around", "\" true \"", flag, true);
        fails("string oui", "\"oui\"", flag, u"'oui"_s + notbool);
        fails("string empty flag", "\"\"", flag, u"'"_s + notbool);
        fails("string comma flag", "\"1,5\"", flag, u"'1,5"_s + notbool);
        ok("string 1.50", "\"1.50\"", number, 1.5);
        ok("string -3e2", "\"-3e2\"", number, -300.0);
        ok("string +2", "\"+2\"", number, 2.0);
        ok("string .5", "\".5\"", number, 0.5);
        ok("string blanks number", "\" 12 \"", number, 12.0);
        fails("string decimal comma", "\"1,5\"", number, u"'1,5"_s + notfloat);
        fails("string inner blank", "\"1 000\"", number, u"'1 000"_s + notfloat);
        fails("string word", "\"abc\"", number, u"'abc"_s + notfloat);
        fails("string empty number", "\"\"", number, u"'"_s + notfloat);
        fails("string inf", "\"inf\"", number, u"'inf"_s + notfloat);
        fails("string hex", "\"0x10\"", number, u"'0x10"_s + notfloat);
        fails("string too large", "\"1e999\"", number, u"'1e999"_s + notfloat);

        // JSON number
        ok("number 1.50 text", "1.50", text, u"1.50"_s);
        ok("number 3008 text", "3008", text, u"3008"_s);
        ok("number 1E+2 text", "1E+2", text, u"1E+2"_s);
        ok("number 0 flag", "0", flag, false);
        ok("number 0.0e5 flag", "0.0e5", flag, false);
        ok("number -2 flag", "-2", flag, true);
        ok("number tiny flag", "1e-400", flag, true);
        ok("number 1.50", "1.50", number, 1.5);
        ok("number -1.5e3", "-1.5e3", number, -1500.0);
        ok("number tiny", "1e-400", number, 0.0);
        fails("number too large", "10e308", number, u"'10e308"_s + notfloat);

        // true, false
        ok("true text", "true", text, u"true"_s);
        ok("false text", "false", text, u"false"_s);
        ok("true flag", "true", flag, true);
        ok("false flag", "false", flag, false);
        fails("true number", "true", number, u"La conversion de booléen en nombre n'est pas supportée"_s);

        // null
        ok("null text", "null", text, QString());
        fails("null flag", "null", flag, u"La conversion de null en booléen n'est pas supportée"_s);
        fails("null number", "null", number, u"La conversion de null en nombre n'est pas supportée"_s);

        // object, array
        fails("object text", "{\"a\":1}", text, u"La conversion de objet en texte n'est pas supportée"_s);
        fails("object flag", "{}", flag, u"La conversion de objet en booléen n'est pas supportée"_s);
        fails("object number", "{}", number, u"La conversion de objet en nombre n'est pas supportée"_s);
        fails("array text", "[\"a\"]", text, u"La conversion de tableau en texte n'est pas supportée"_s);
        fails("array flag", "[]", flag, u"La conversion de tableau en booléen n'est pas supportée"_s);
        fails("array number", "[1]", number, u"La conversion de tableau en nombre n'est pas supportée"_s);

        // no such member
        fails("absent text", "", text, u"Valeur 'v' introuvable"_s);
        fails("absent flag", "", flag, u"Valeur 'v' introuvable"_s);
        fails("absent number", "", number, u"Valeur 'v' introuvable"_s);
    }
    void conversion()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, getter);
        QFETCH(QVariant, result);
        QFETCH(QString, error);

        const JsonValue doc = parsed(value.isEmpty() ? QByteArray("{\"w\":1}") : "{\"v\":" + value + "}");
        const QString key = u"v"_s;
        const bool converts = error.isEmpty();

        if (getter == u"text"_s) {
            QString out = u"previous"_s;
            QCOMPARE(trygettext(doc, key, out), converts);
            QCOMPARE(out, converts ? result.toString() : QString());
            if (converts)
                QCOMPARE(gettext(doc, key), result.toString());
            else
                QCOMPARE(raised([&] { gettext(doc, key); }), error);
        } else if (getter == u"flag"_s) {
            bool out = true;
            QCOMPARE(trygetflag(doc, key, out), converts);
            QCOMPARE(out, converts && result.toBool());
            if (converts)
                QCOMPARE(getflag(doc, key), result.toBool());
            else
                QCOMPARE(raised([&] { getflag(doc, key); }), error);
        } else {
            if (converts)
                QCOMPARE(getnumber(doc, key), result.toDouble());
            else
                QCOMPARE(raised([&] { getnumber(doc, key); }), error);
        }
    }

    void paths_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("text");
        QTest::newRow("nested member") << u"a.b[1].c"_s << true << u"y"_s;
        QTest::newRow("first element") << u"a.b[0].c"_s << true << u"x"_s;
        QTest::newRow("array in array") << u"a.b[1].d[1][0]"_s << true << u"2"_s;
        QTest::newRow("member named with a dot") << u"e.f"_s << true << u"dot"_s;
        QTest::newRow("first duplicate") << u"dup"_s << true << u"first"_s;
        QTest::newRow("empty name") << QString() << true << u"empty"_s;
        QTest::newRow("non-ascii name") << u"prénom"_s << true << u"Zoé"_s;
        QTest::newRow("index past the end") << u"a.b[2].c"_s << false << QString();
        QTest::newRow("index not a number") << u"a.b[x]"_s << false << QString();
        QTest::newRow("negative index") << u"a.b[-1]"_s << false << QString();
        QTest::newRow("index on object") << u"a[0]"_s << false << QString();
        QTest::newRow("name on array") << u"a.b.c"_s << false << QString();
        QTest::newRow("empty step") << u"a..b"_s << false << QString();
        QTest::newRow("trailing dot") << u"a."_s << false << QString();
        QTest::newRow("unclosed bracket") << u"a.b[1"_s << false << QString();
        QTest::newRow("stray bracket") << u"a.b]"_s << false << QString();
        QTest::newRow("name glued to index") << u"a.b[1]c"_s << false << QString();
        QTest::newRow("through a scalar") << u"dup.x"_s << false << QString();
        QTest::newRow("through null") << u"n.x"_s << false << QString();
        QTest::newRow("case differs") << u"DUP"_s << false << QString();
    }
    void paths()
    {
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, text);
        const JsonValue doc = parsed("{\"a\":{\"b\":[{\"c\":\"x\"},{\"c\":\"y\",\"d\":[1,[2,3]]}]},"
                                     "\"e.f\":\"dot\",\"dup\":\"first\",\"dup\":\"second\",\"\":\"empty\","
                                     "\"pr\xC3\xA9nom\":\"Zo\xC3\xA9\",\"n\":null}");
        QString out;
        QCOMPARE(trygettext(doc, key, out), found);
        QCOMPARE(out, text);
        if (!found)
            QCOMPARE(raised([&] { gettext(doc, key); }), u"Valeur '"_s + key + u"' introuvable"_s);
    }

    void containers()
    {
        const JsonValue list = parsed("[{\"id\":\"z\"},true]");
        QString out;
        QVERIFY(trygettext(list, u"[0].id"_s, out));
        QCOMPARE(out, u"z"_s);
        QVERIFY(getflag(list, u"[1]"_s));
        QVERIFY(!trygettext(list, u"id"_s, out));

        // A value that is neither object nor array holds nothing.
        for (const QByteArray& scalar : {QByteArray("\"v\""), QByteArray("1"), QByteArray("null")}) {
            const JsonValue v = parsed(scalar);
            QVERIFY(!trygettext(v, u"v"_s, out));
            QCOMPARE(raised([&] { getnumber(v, u"v"_s); }), u"Valeur 'v' introuvable"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestJsonGetters)
#include "tst_jsongetters.moc"
