#include "api/JsonValue.h"

#include <QTest>

#include <cstring>

using namespace Qt::StringLiterals;

class TestJson : public QObject
{
    Q_OBJECT
private slots:
    // Parsing then writing back: the compact text shows order, lexemes and bytes as read.
    void roundtrip_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("compact");
        QTest::newRow("order and duplicates")
            << QByteArray(" { \"b\" : 1 ,\r\n \"a\" : [ true , false , null ] , \"b\" : \"x\" , \"\" : {} } ")
            << QByteArray(R"({"b":1,"a":[true,false,null],"b":"x","":{}})");
        QTest::newRow("number lexemes")
            << QByteArray("[1.50, 3008, -0, 1E+2, 0.0e-0, 123456789012345678901234567890]")
            << QByteArray("[1.50,3008,-0,1E+2,0.0e-0,123456789012345678901234567890]");
        QTest::newRow("short escapes")
            << QByteArray("[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"]") << QByteArray("[\"\\\"\\\\/\\b\\f\\n\\r\\t\"]");
        QTest::newRow("unicode escapes become bytes")
            << QByteArray(R"(["\u00e9\u00C9\uD83D\uDE00\u0001\u001F\u007f"])")
            << QByteArray("[\"\xC3\xA9\xC3\x89\xF0\x9F\x98\x80\\u0001\\u001f\x7F\"]");
        QTest::newRow("escaped nul") << QByteArray(R"({"a\u0000b":"c\u0000"})")
                                     << QByteArray(R"({"a\u0000b":"c\u0000"})");
        QTest::newRow("raw utf8 kept")
            << QByteArray("{\"nom\":\"Ren\xC3\xA9\"}") << QByteArray("{\"nom\":\"Ren\xC3\xA9\"}");
        QTest::newRow("invalid utf8 kept")
            << QByteArray("[\"\xFF\xC3(\xED\xA0\x80\"]") << QByteArray("[\"\xFF\xC3(\xED\xA0\x80\"]");
        QTest::newRow("lone low surrogate")
            << QByteArray(R"(["\uDC00"])") << QByteArray("[\"\xED\xB0\x80\"]");
        QTest::newRow("scalar root") << QByteArray(" 12 ") << QByteArray("12");
        QTest::newRow("string root") << QByteArray("\"x\"\r\n") << QByteArray("\"x\"");
        QTest::newRow("nested") << QByteArray(R"({"list":[{"a":[[]],"b":{"c":null}},[]]})")
                                << QByteArray(R"({"list":[{"a":[[]],"b":{"c":null}},[]]})");
    }
    void roundtrip()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, compact);
        QString error;
        const std::optional<JsonValue> v = parsejson(input, &error);
        QVERIFY2(v, qPrintable(error));
        QCOMPARE(v->tojson(), compact);
        const std::optional<JsonValue> again = parsejson(compact);
        QVERIFY(again);
        QCOMPARE(again->tojson(), compact);
    }

    void parsedValues()
    {
        const QByteArray input("{\"code\":\"OK\",\"n\":1.50,\"code\":\"KO\",\"s\":\"a\\u0000b\","
                               "\"bad\":\"\xFF\"}");
        const std::optional<JsonValue> v = parsejson(input);
        QVERIFY(v && v->isObject());
        QCOMPARE(v->members().size(), std::size_t(5));
        QCOMPARE(v->members()[2].first, QByteArray("code"));
        QCOMPARE(v->find("code")->bytes(), QByteArray("OK"));
        QVERIFY(v->find("n")->isNumber());
        QCOMPARE(v->find("n")->bytes(), QByteArray("1.50"));
        QCOMPARE(v->find("s")->bytes(), QByteArray("a\0b", 3));
        QCOMPARE(v->find("s")->text(), QString(u"a\0b"_s));
        QCOMPARE(v->find("bad")->text(), QString(QChar(QChar::ReplacementCharacter)));
        QVERIFY(!v->find("absent"));
        QVERIFY(!v->find("cod"));
    }

    void builtValueWritesEscaped()
    {
        JsonValue o = JsonValue::object();
        o.insert("k\"\\\n", JsonValue::string(QByteArray("a\x1b\tb")));
        JsonValue a = JsonValue::array();
        a.append(JsonValue::number("-1.5e3"));
        a.append(*parsejson("false"));
        a.append(JsonValue::null());
        o.insert("a", std::move(a));
        QCOMPARE(o.tojson(), QByteArray("{\"k\\\"\\\\\\n\":\"a\\u001b\\tb\",\"a\":[-1.5e3,false,null]}"));
    }

    // Values read from one reply share storage; a copy or a change must never reach another value.
    void valuesStayIndependent()
    {
        std::optional<JsonValue> doc = parsejson("{\"a\":[\"ab\",\"cd\",1.50],\"b\":{\"c\":true}}");
        QVERIFY(doc);
        const QByteArray before = doc->tojson();

        JsonValue copy = *doc;
        JsonValue list = *copy.find("a");
        list.append(JsonValue::string(QByteArray("ef")));
        copy.insert("d", JsonValue::null());
        QCOMPARE(doc->tojson(), before);
        QCOMPARE(copy.tojson(), before.chopped(1) + ",\"d\":null}");
        QCOMPARE(list.tojson(), QByteArray("[\"ab\",\"cd\",1.50,\"ef\"]"));

        QByteArray ab = doc->find("a")->items()[0].bytes();
        QCOMPARE(std::strlen(ab.constData()), std::size_t(2));
        ab.append("XYZ");
        ab[0] = 'A';
        QCOMPARE(ab, QByteArray("AbXYZ"));
        QCOMPARE(doc->tojson(), before);

        // Last holder of a string: changing it is still only its own business.
        JsonValue cd = doc->find("a")->items()[1];
        doc.reset();
        copy = JsonValue();
        list = JsonValue();
        QByteArray bytes = cd.bytes();
        cd = JsonValue();
        bytes.append("XYZ");
        QCOMPARE(bytes, QByteArray("cdXYZ"));

        // Kinds hold only their own content.
        JsonValue v = JsonValue::string(QByteArray("x"));
        QVERIFY(v.items().empty() && v.members().empty() && !v.boolValue());
        v.append(*parsejson("true"));
        QCOMPARE(v.tojson(), QByteArray("[true]"));
        QVERIFY(v.bytes().isEmpty());
        v.insert("k", JsonValue::number("2"));
        QCOMPARE(v.tojson(), QByteArray("{\"k\":2}"));
        const JsonValue& self = v; // assignment to itself, through a second name
        v = self;
        QCOMPARE(v.tojson(), QByteArray("{\"k\":2}"));
    }

    // A tree may hold values of several replies; each reply's bytes live as long as one value
    // still holds them, whatever order the trees go in.
    void valuesOutliveTheirReply()
    {
        JsonValue mixed = JsonValue::array();
        {
            const std::optional<JsonValue> first = parsejson(R"({"a":"un","b":["deux",3]})");
            const std::optional<JsonValue> second = parsejson(R"(["quatre","cinq"])");
            QVERIFY(first && second);
            mixed.append(*first->find("b"));
            mixed.append(second->items()[1]);
            mixed.append(*first->find("a"));
        }
        QCOMPARE(mixed.tojson(), QByteArray(R"([["deux",3],"cinq","un"])"));
        JsonValue kept = mixed.items()[1];
        mixed = JsonValue();
        QCOMPARE(kept.bytes(), QByteArray("cinq"));
        QCOMPARE(std::strlen(kept.bytes().constData()), std::size_t(4));

        // A member's name is a view into its reply: a copy of the member keeps it readable.
        std::optional<JsonValue> third = parsejson(R"({"nom":null,"prénom":"Zoé"})");
        QVERIFY(third);
        const JsonValue::Member name = third->members()[0];
        const JsonValue::Member firstname = third->members()[1];
        third.reset();
        QCOMPARE(name.first, QByteArray("nom"));
        QCOMPARE(firstname.first, QByteArray("prénom"));
        QCOMPARE(firstname.second.text(), u"Zoé"_s);
    }

    // A value grows its array where it stands only while no other value holds its tree: sharers,
    // and pieces of its own tree given back to it, keep what they held.
    void changesReachNoSharer()
    {
        JsonValue a = JsonValue::array();
        for (int i = 0; i < 5; ++i)
            a.append(JsonValue::number(QByteArray::number(i)));
        JsonValue b = a;
        a.append(JsonValue::string(QByteArray("a")));
        b.append(JsonValue::string(QByteArray("b")));
        QCOMPARE(a.tojson(), QByteArray(R"([0,1,2,3,4,"a"])"));
        QCOMPARE(b.tojson(), QByteArray(R"([0,1,2,3,4,"b"])"));
        a = JsonValue();
        b.append(JsonValue::null());
        QCOMPARE(b.tojson(), QByteArray(R"([0,1,2,3,4,"b",null])"));

        std::optional<JsonValue> doc = parsejson(R"({"k":["x",{"y":true}],"n":1.50})");
        QVERIFY(doc);
        JsonValue list = *doc->find("k");
        QByteArray expected = list.tojson().chopped(1);
        for (int i = 0; i < 1000; ++i) {
            list.append(list.items()[i % 2]);
            expected += i % 2 ? R"(,{"y":true})" : R"(,"x")";
        }
        QCOMPARE(list.tojson(), expected + ']');
        QCOMPARE(doc->tojson(), QByteArray(R"({"k":["x",{"y":true}],"n":1.50})"));

        JsonValue& o = *doc;
        o.insert(o.members()[1].first.toByteArray(), o.members()[0].second);
        QCOMPARE(o.tojson(), QByteArray(R"({"k":["x",{"y":true}],"n":1.50,"n":["x",{"y":true}]})"));
        o.append(o.members()[1].second); // becomes an array holding a piece of what it was
        QCOMPARE(o.tojson(), QByteArray("[1.50]"));
        o.append(o);
        o.append(o.items()[1]);
        QCOMPARE(o.tojson(), QByteArray("[1.50,[1.50],[1.50]]"));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("blanks only") << QByteArray(" \r\n\t");
        QTest::newRow("trailing garbage") << QByteArray("{} x");
        QTest::newRow("two documents") << QByteArray("{}{}");
        QTest::newRow("nul after document") << QByteArray("{}\0", 3);
        QTest::newRow("nul after blank") << QByteArray("{} \0 ", 4);
        QTest::newRow("nul between tokens") << QByteArray("[1,\0 2]", 7);
        QTest::newRow("raw nul in string") << QByteArray("[\"a\0b\"]", 7);
        QTest::newRow("raw control in string") << QByteArray("[\"a\x01\"]");
        // After an escape the reader copies a string onto itself; a control character further on
        // must still be found.
        QTest::newRow("raw control after an escape")
            << QByteArray("[\"\\n") + QByteArray(40, '3') + '\x1C' + QByteArray(20, '3') + "\"]";
        QTest::newRow("trailing comma object") << QByteArray(R"({"a":1,})");
        QTest::newRow("trailing comma array") << QByteArray("[1,]");
        QTest::newRow("single quotes") << QByteArray("['a']");
        QTest::newRow("leading zero") << QByteArray("[01]");
        QTest::newRow("bare point") << QByteArray("[1.]");
        QTest::newRow("plus sign") << QByteArray("[+1]");
        QTest::newRow("missing colon") << QByteArray(R"({"a" 1})");
        QTest::newRow("lone high surrogate") << QByteArray(R"(["\uD800"])");
        QTest::newRow("bad escape") << QByteArray(R"(["\x41"])");
        QTest::newRow("truncated") << QByteArray(R"({"a":)");
        QTest::newRow("unclosed string") << QByteArray("[\"abc");
        QTest::newRow("bare word") << QByteArray("nul");
        QTest::newRow("comment") << QByteArray("/* */ {}");
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF{}");
    }
    void refused()
    {
        QFETCH(QByteArray, input);
        QString error;
        QVERIFY(!parsejson(input, &error));
        QVERIFY2(error.startsWith(u"JSON invalide à l'octet "_s), qPrintable(error));
    }

    // The bytes are read by their length: a document ending where the array ends is whole even
    // when more bytes (and no NUL) follow in memory.
    void readsByLength()
    {
        static const char memory[] = {'[', '1', ']', 'x', '1', '2', '3'};
        std::optional<JsonValue> v = parsejson(QByteArray::fromRawData(memory, 3));
        QVERIFY(v);
        QCOMPARE(v->tojson(), QByteArray("[1]"));
        v = parsejson(QByteArray::fromRawData(memory + 4, 2));
        QVERIFY(v);
        QCOMPARE(v->bytes(), QByteArray("12"));
        QVERIFY(!parsejson(QByteArray::fromRawData(memory, 4)));
    }

    void depthLimit()
    {
        const int deep = 100000;
        QString error;
        QVERIFY(!parsejson(QByteArray(deep, '[') + QByteArray(deep, ']'), &error));
        QVERIFY2(error.contains(u"imbrication trop profonde"_s), qPrintable(error));
        QVERIFY(!parsejson(QByteArray(deep, '[')));
        QVERIFY(!parsejson(QByteArray("{\"a\":").repeated(deep) + "1" + QByteArray(deep, '}')));

        QVERIFY(parsejson(QByteArray(512, '[') + QByteArray(512, ']')));
        QVERIFY(!parsejson(QByteArray(513, '[') + QByteArray(513, ']')));
        QVERIFY(parsejson("[[{\"a\":1}]]", nullptr, 3));
        QVERIFY(!parsejson("[[{\"a\":[]}]]", nullptr, 3));
    }

    void escapeReadsBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("plain") << u"Dupont"_s << u"Dupont"_s;
        QTest::newRow("quote and backslash")
            << u"O\"Brien \\ \"},\"admin\":\"1"_s << u"O\\\"Brien \\\\ \\\"},\\\"admin\\\":\\\"1"_s;
        QTest::newRow("controls") << u"a\nb\tc\rd\be\ff\x01g\x1f"_s
                                  << u"a\\nb\\tc\\rd\\be\\ff\\u0001g\\u001f"_s;
        QTest::newRow("kept") << u"é/€😀\x7f"_s << u"é/€😀\x7f"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void escapeReadsBack()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(jsonescape(text), escaped);
        const QString request = u"{\"nom\":\""_s + jsonescape(text) + u"\",\"id\":1}"_s;
        const std::optional<JsonValue> v = parsejson(request.toUtf8());
        QVERIFY(v);
        QCOMPARE(v->members().size(), std::size_t(2));
        QCOMPARE(v->find("nom")->text(), text);
    }

    void isjsonnumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        const std::pair<const char*, bool> cases[] = {
            {"0", true},
            {"-0", true},
            {"12", true},
            {"-12", true},
            {"3.5", true},
            {"3.5e2", true},
            {"1E+2", true},
            {"1e-02", true},
            {"0.001", true},
            {"", false},
            {"-", false},
            {"01", false},
            {"+1", false},
            {"1.", false},
            {".5", false},
            {"1e", false},
            {"1e+", false},
            {"1.e3", false},
            {" 1", false},
            {"1 ", false},
            {"1,5", false},
            {"0x1F", false},
            {"NaN", false},
            {"Infinity", false},
            {"--1", false},
            {"1.5.2", false},
            {"12a", false},
            // Beyond a double's range the reader refuses the number: it must not be written bare.
            {"1e400", false},
            {"-2e+309", false},
            {"1e-400", true},
            {"123456789012345678901234567890", true},
        };
        for (const auto& [text, number] : cases)
            QTest::newRow(*text ? text : "(empty)") << QString::fromLatin1(text) << number;
    }
    void isjsonnumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QCOMPARE(::isjsonnumber(text), number);
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
