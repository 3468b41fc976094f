#include "api/QuilbaError.h"
#include "report/ReportLayout.h"

#include <QPageSize>
#include <QTest>

namespace {

// Every kind of object, one font inherited from the page and one of its own.
const QByteArray sample = R"({
  "name": "essai",
  "page": {"width": 210, "height": 297, "margins": {"left": 10, "top": 12, "right": 8, "bottom": 6}},
  "font": {"face": "Calibri", "height": 13, "color": "#000000"},
  "objects": [
    {"name": "Picture1", "kind": "picture", "left": 1, "top": 2, "width": 30, "height": 10, "picture": ":/artwork/x.svg"},
    {"name": "titre", "kind": "text", "left": 5, "top": 6, "width": 50, "height": 7.5,
     "font": {"face": "@Arial Unicode MS", "size": 20, "bold": true, "color": "#ffffff"},
     "align": "center", "valign": "bottom", "frame": true, "wrap": false, "clip": false,
     "lines": ["Bonjour  {@m.name}, ", "", "  "]},
    {"name": "corps", "kind": "text", "left": 5, "top": 20, "width": 50, "height": 10},
    {"name": "emailoptin", "kind": "checkbox", "left": 31, "top": 207, "width": 6, "height": 6, "frame": true}
  ]
})";

ReportLayout samplelayout()
{
    QString error;
    const auto layout = ReportLayout::fromjson(sample, &error);
    if (!layout)
        qFatal("sample layout: %s", qPrintable(error));
    return *layout;
}

} // namespace

class TestReportLayout : public QObject
{
    Q_OBJECT
private slots:
    void readsEveryField()
    {
        const ReportLayout layout = samplelayout();
        QCOMPARE(layout.name(), QStringLiteral("essai"));
        QCOMPARE(layout.margins(), QMarginsF(10, 12, 8, 6));
        QCOMPARE(layout.pagelayout().pageSize().id(), QPageSize::A4);
        QCOMPARE(layout.pagelayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(layout.objects().size(), 4);

        const ReportObject* title = layout.object(QStringLiteral("titre"));
        QVERIFY(title);
        QCOMPARE(title->kind, ReportObject::Kind::Text);
        QCOMPARE(title->rect, QRectF(5, 6, 50, 7.5));
        QCOMPARE(title->font.face, QStringLiteral("@Arial Unicode MS"));
        QCOMPARE(title->font.pointsize, 20.0);
        QVERIFY(title->font.bold);
        QCOMPARE(title->font.color, QColor(Qt::white));
        QCOMPARE(title->alignment, Qt::AlignHCenter | Qt::AlignBottom);
        QVERIFY(title->frame);
        QVERIFY(!title->wrap);
        QVERIFY(!title->clip);
        // Blanks and empty lines are the text's own.
        QCOMPARE(title->text, QStringLiteral("Bonjour  {@m.name}, \n\n  "));

        // An object without a font of its own takes the page's; 13 pixels of 1/96 inch are 9.75 points.
        const ReportObject* body = layout.object(QStringLiteral("corps"));
        QVERIFY(body);
        QCOMPARE(body->font.face, QStringLiteral("Calibri"));
        QCOMPARE(body->font.pointsize, 9.75);
        QVERIFY(!body->font.bold);
        QCOMPARE(body->alignment, Qt::AlignLeft | Qt::AlignTop);
        QVERIFY(body->wrap);
        QVERIFY(body->clip);
        QVERIFY(!body->frame);
        QVERIFY(body->text.isEmpty());

        QCOMPARE(layout.object(QStringLiteral("Picture1"))->picture, QStringLiteral(":/artwork/x.svg"));
        QCOMPARE(layout.object(QStringLiteral("emailoptin"))->kind, ReportObject::Kind::CheckBox);
        QVERIFY(!layout.object(QStringLiteral("emailoptin"))->checked);
        QVERIFY(!layout.object(QStringLiteral("Titre")));
    }

    void rejects_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("where");
        const QByteArray head = R"({"name": "l", "objects": [)";
        QTest::newRow("not JSON") << QByteArray("{\"name\": ") << QString();
        QTest::newRow("no name") << QByteArray(R"({"objects": []})") << QStringLiteral("\"name\"");
        QTest::newRow("unknown kind")
            << head + R"({"name": "a", "kind": "barcode", "left": 0, "top": 0, "width": 1, "height": 1}]})"
            << QStringLiteral("a : genre inconnu");
        QTest::newRow("misspelt key")
            << head + R"({"name": "a", "kind": "text", "left": 0, "top": 0, "widht": 1, "height": 1}]})"
            << QStringLiteral("a : clé inconnue \"widht\"");
        QTest::newRow("no size") << head +
                                        R"({"name": "a", "kind": "text", "left": 0, "top": 0, "height": 1}]})"
                                 << QStringLiteral("\"width\"");
        QTest::newRow("empty size")
            << head + R"({"name": "a", "kind": "text", "left": 0, "top": 0, "width": 0, "height": 1}]})"
            << QStringLiteral("a : taille nulle");
        QTest::newRow("same name twice")
            << head + R"({"name": "a", "kind": "text", "left": 0, "top": 0, "width": 1, "height": 1},
                         {"name": "a", "kind": "text", "left": 0, "top": 0, "width": 1, "height": 1}]})"
            << QStringLiteral("a : nom en double");
        QTest::newRow("picture without its file")
            << head + R"({"name": "p", "kind": "picture", "left": 0, "top": 0, "width": 1, "height": 1}]})"
            << QStringLiteral("p : texte attendu pour \"picture\"");
        QTest::newRow("size and height")
            << head + R"({"name": "a", "kind": "text", "left": 0, "top": 0, "width": 1, "height": 1,
                          "font": {"size": 10, "height": 13}}]})"
            << QStringLiteral("a : \"size\" et \"height\"");
        QTest::newRow("bad colour")
            << head + R"({"name": "a", "kind": "text", "left": 0, "top": 0, "width": 1, "height": 1,
                          "font": {"color": "vert"}}]})"
            << QStringLiteral("a : couleur");
        QTest::newRow("line not a text")
            << head + R"({"name": "a", "kind": "text", "left": 0, "top": 0, "width": 1, "height": 1,
                          "lines": ["x", 3]}]})"
            << QStringLiteral("a : texte attendu dans \"lines\"");
    }
    void rejects()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, where);
        QString error;
        QVERIFY(!ReportLayout::fromjson(json, &error));
        QVERIFY2(!error.isEmpty(), "a reason is given");
        QVERIFY2(error.contains(where), qPrintable(error));
    }

    void fillingACopyKeepsTheStoredLayout()
    {
        const ReportLayout stored = samplelayout();
        ReportLayout filled = stored;
        QVERIFY(filled.settext(QStringLiteral("titre"), QStringLiteral("Bonjour  Dupont, ")));
        QVERIFY(filled.setchecked(QStringLiteral("emailoptin"), true));
        QCOMPARE(filled.text(QStringLiteral("titre")), QStringLiteral("Bonjour  Dupont, "));
        QVERIFY(filled.object(QStringLiteral("emailoptin"))->checked);
        QCOMPARE(stored.text(QStringLiteral("titre")), QStringLiteral("Bonjour  {@m.name}, \n\n  "));
        QVERIFY(!stored.object(QStringLiteral("emailoptin"))->checked);

        // Only an object of the right kind takes a text or a tick.
        QVERIFY(!filled.settext(QStringLiteral("absent"), QStringLiteral("x")));
        QVERIFY(!filled.settext(QStringLiteral("Picture1"), QStringLiteral("x")));
        QVERIFY(!filled.settext(QStringLiteral("emailoptin"), QStringLiteral("x")));
        QVERIFY(!filled.setchecked(QStringLiteral("titre"), true));
        QCOMPARE(filled.text(QStringLiteral("Picture1")), QString());
    }

    void storedLayouts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Repcoupon750") << QStringLiteral("Repcoupon750");
        QTest::newRow("Repcoupon20") << QStringLiteral("Repcoupon20");
        QTest::newRow("reppoints") << QStringLiteral("reppoints");
    }
    void storedLayouts()
    {
        QFETCH(QString, name);
        const ReportLayout layout = ReportLayout::fromresource(name);
        QCOMPARE(layout.name(), name);
        QCOMPARE(layout.pagelayout().pageSize().id(), QPageSize::A4);
        QCOMPARE(layout.margins(), QMarginsF(10, 10, 10, 10));
        // Every object lies inside the printable area, and every picture can be read.
        const QRectF printable(0, 0, 190, 277);
        for (const ReportObject& object : layout.objects()) {
            QVERIFY2(printable.contains(object.rect), qPrintable(object.name));
            if (object.kind == ReportObject::Kind::Picture)
                QVERIFY2(QFile::exists(object.picture), qPrintable(object.picture));
        }
    }

    void missingLayoutIsAnError()
    {
        QVERIFY_THROWS_EXCEPTION(QuilbaError, ReportLayout::fromresource(QStringLiteral("absent")));
    }
};

QTEST_GUILESS_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
