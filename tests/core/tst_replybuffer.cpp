#include "api/ReplyBuffer.h"

#include <QTest>

class TestReplyBuffer : public QObject
{
    Q_OBJECT
private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("crlf kept") << QByteArray("a\r\nb") << QByteArray("a\r\nb");
        QTest::newRow("lf") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("lone cr") << QByteArray("a\rb") << QByteArray("a\r\nb");
        QTest::newRow("bom dropped") << QByteArray("\xEF\xBB\xBF{}") << QByteArray("{}");
        QTest::newRow("bytes kept") << QByteArray("\xC3\xA9\xFF") << QByteArray("\xC3\xA9\xFF");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("no line break") << QByteArray("{\"a\":1}") << QByteArray("{\"a\":1}");
        QTest::newRow("bom and lf") << QByteArray("\xEF\xBB\xBF{\n}") << QByteArray("{\r\n}");
        QTest::newRow("bom alone") << QByteArray("\xEF\xBB\xBF") << QByteArray();
        QTest::newRow("breaks at the ends") << QByteArray("\r\na\r") << QByteArray("\r\na\r\n");
        QTest::newRow("mixed") << QByteArray("a\n\rb\r\r\nc\n\nd")
                               << QByteArray("a\r\n\r\nb\r\n\r\nc\r\n\r\nd");
    }
    void load()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, held);
        ReplyBuffer buffer;
        buffer.load(reply);
        QCOMPARE(buffer.bytes(), held);
    }

    void appendlineAddsALine()
    {
        ReplyBuffer buffer;
        buffer.appendline(QStringLiteral("json_data={}"));
        QCOMPARE(buffer.bytes(), QByteArray("json_data={}"));
        buffer.load("{\"list\":[]}");
        buffer.appendline(QStringLiteral("é"));
        QCOMPARE(buffer.bytes(), QByteArray("{\"list\":[]}\r\n\xC3\xA9"));
    }

    void viewtextCutsOnlyAHugeContent()
    {
        ReplyBuffer buffer;
        buffer.load("{\"list\":[]}");
        QCOMPARE(buffer.viewtext(12), QStringLiteral("{\"list\":[]}"));
        buffer.load(QByteArray(10, 'a') + QByteArray(80, 'b') + QByteArray(10, 'c'));
        buffer.appendline(QStringLiteral("json_data={}"));
        // 114 bytes: the first 45 and the last 15 are shown.
        QCOMPARE(buffer.viewtext(60), QString(10, u'a') + QString(35, u'b') +
                                          QStringLiteral("\r\n[… 54 octets non affichés …]\r\n") +
                                          QStringLiteral("c\r\njson_data={}"));
    }
};

QTEST_GUILESS_MAIN(TestReplyBuffer)
#include "tst_replybuffer.moc"
