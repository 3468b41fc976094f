#include "FixedClock.h"

#include "counter/Tickets.h"
#include "members/EnrolmentSheet.h"
#include "platform/Fonts.h"
#include "report/ReportLayout.h"
#include "report/ReportPainter.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QFontInfo>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What goes into the tickets and the sheet: the demo platform's first member and pharmacy, and
// the longest values a French postal address holds (38 characters a line: the name line
// "civility first-name name", each address line; 32 for the town after its postcode).
struct DataSet
{
    Tickets::Member member;
    Tickets::Coupon coupon750;
    Tickets::Coupon coupon20;
    QString points;
    QStringList pharmacie;
    EnrolmentSheet::Fields sheet;
};

DataSet demo()
{
    DataSet d;
    d.member = {u"Marie"_s, u"DUPONT"_s, u"1010001"_s, u"MME Marie DUPONT"_s};
    d.coupon750 = {u"2900000000007"_s, u"30/06/2026"_s, u"7.5"_s};
    d.coupon20 = {u"2900000000012"_s, u"31/12/2026"_s, u"20"_s};
    d.points = u"135"_s;
    d.pharmacie = {u"Pharmacie du Centre"_s, u"12 place de la République"_s, QString(), u"69002"_s,
                   u"Lyon"_s};
    d.sheet.cardnumber = u"1010001"_s;
    d.sheet.civilite = u"MME"_s;
    d.sheet.nom = u"DUPONT"_s;
    d.sheet.prenom = u"Marie"_s;
    d.sheet.adresse = u"12 rue de la République"_s;
    d.sheet.cp = u"69002"_s;
    d.sheet.ville = u"LYON"_s;
    d.sheet.datenaissance = u"12041975"_s;
    d.sheet.mobile = u"0612345678"_s;
    d.sheet.tel = u"0478000001"_s;
    d.sheet.email = u"marie.dupont@example.fr"_s;
    d.sheet.emailoptin = true;
    return d;
}

DataSet longest()
{
    DataSet d;
    // The name line as the counter shows it: 38 characters.
    d.member = {u"Marie-Christine"_s, u"LEBRETON-DESCHAMPS"_s, u"3300010100016"_s,
                u"MME Marie-Christine LEBRETON-DESCHAMPS"_s};
    d.coupon750 = {u"2999999999999"_s, u"31/12/2026"_s, u"7.5"_s};
    d.coupon20 = {u"2999999999998"_s, u"31/12/2026"_s, u"20"_s};
    d.points = u"99999"_s;
    d.pharmacie = {u"Grande Pharmacie de la Gare Saint-Jean"_s, u"Résidence Les Jardins de la Roseraie B"_s,
                   u"128 bis boulevard du Maréchal Leclerc"_s, u"51290"_s,
                   u"SAINT-REMY-EN-BOUZEMONT-ST-GENES"_s};
    d.sheet.cardnumber = u"3300010100016"_s;
    d.sheet.civilite = u"Company"_s;
    d.sheet.nom = u"DUPONT-DE-LA-ROCHEFOUCAULD-MONTMORENCY"_s;
    d.sheet.prenom = u"Marie-Christine-Bernadette"_s;
    d.sheet.adresse = u"Résidence Les Jardins de la Roseraie B"_s;
    d.sheet.adresse2 = u"128 bis boulevard du Maréchal Leclerc"_s;
    d.sheet.cp = u"51290"_s;
    d.sheet.ville = u"SAINT-REMY-EN-BOUZEMONT-ST-GENES"_s;
    d.sheet.datenaissance = u"28091949"_s;
    d.sheet.mobile = u"06 12 34 56 78"_s;
    d.sheet.tel = u"04 78 12 34 56"_s;
    d.sheet.email = u"marie-christine.lebreton-deschamps@orange.fr"_s;
    d.sheet.emailoptin = true;
    return d;
}

ReportLayout filled(const QString& document, const DataSet& d)
{
    // The longest month name, on a two-digit day.
    const FixedClock clock(QDateTime(QDate(2026, 9, 28), QTime(10, 0)));
    const Tickets tickets(clock);
    if (document == u"Repcoupon750"_s)
        return tickets.fillcoupon(Tickets::Ticket::Coupon750, d.member, d.coupon750, d.pharmacie);
    if (document == u"Repcoupon20"_s)
        return tickets.fillcoupon(Tickets::Ticket::Coupon20, d.member, d.coupon20, d.pharmacie);
    if (document == u"reppoints"_s)
        return tickets.fillpoints(d.member, d.points);
    return EnrolmentSheet().fill(d.sheet, d.pharmacie);
}

QString describe(const ReportPainter::PlacedText& placed)
{
    const auto rect = [](const QRectF& r) {
        return u"%1, %2, %3 × %4 mm"_s.arg(r.x(), 0, 'f', 2)
            .arg(r.y(), 0, 'f', 2)
            .arg(r.width(), 0, 'f', 2)
            .arg(r.height(), 0, 'f', 2);
    };
    return placed.name + u" : boîte "_s + rect(placed.box) + u", texte "_s + rect(placed.text) + u" à "_s +
           QString::number(placed.pointsize) + u" pt"_s;
}

} // namespace

class TestLayoutFit : public QObject
{
    Q_OBJECT
private slots:
    // The faces of the layouts and windows are drawn by their metric twins, which are installed:
    // the system gives each first choice itself, not a fallback.
    void fontsChosenByMetrics_data()
    {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QStringList>("families");
        const QString dejavu = u"DejaVu Sans"_s;
        QTest::newRow("Calibri") << u"Calibri"_s << QStringList{u"Carlito"_s, dejavu};
        QTest::newRow("Arial") << u"Arial"_s << QStringList{u"Liberation Sans"_s, dejavu};
        QTest::newRow("Arial Unicode MS")
            << u"Arial Unicode MS"_s << QStringList{u"Liberation Sans"_s, dejavu};
        QTest::newRow("vertical name") << u"@Arial Unicode MS"_s << QStringList{u"Liberation Sans"_s, dejavu};
        QTest::newRow("Tahoma") << u"Tahoma"_s << QStringList{u"Tahoma"_s, dejavu};
    }
    void fontsChosenByMetrics()
    {
        QFETCH(QString, face);
        QFETCH(QStringList, families);
        Fonts::install();
        QCOMPARE(Fonts::families(face), families);
        QFont font;
        font.setFamilies(families);
        QCOMPARE(QFontInfo(font).family(), families.constFirst());
    }

    // Every text object of the three tickets and the sheet, filled as the counter and the
    // enrolment form fill them and laid out on a PDF page, lies inside its box: at its designed
    // size with the demo data (but for the closing text of the 7,50 € voucher, a line longer than
    // its box at that size even in Arial's metrics), and at no less than 60 % of it with the
    // longest values.
    void textsFitTheirBoxes_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<bool>("demodata");
        QTest::addColumn<QStringList>("smaller");
        for (const QString& document :
             {u"Repcoupon750"_s, u"Repcoupon20"_s, u"reppoints"_s, u"frxReport2"_s}) {
            const QStringList smaller =
                document == u"Repcoupon750"_s ? QStringList{u"Memo7"_s} : QStringList();
            QTest::addRow("%s, démo", qPrintable(document)) << document << true << smaller;
            QTest::addRow("%s, les plus longues", qPrintable(document)) << document << false << QStringList();
        }
    }
    void textsFitTheirBoxes()
    {
        QFETCH(QString, document);
        QFETCH(bool, demodata);
        QFETCH(QStringList, smaller);
        const ReportLayout layout = filled(document, demodata ? demo() : longest());

        QBuffer pdf;
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        QPdfWriter writer(&pdf);
        writer.setResolution(600);
        QList<ReportPainter::PlacedText> placed;
        QVERIFY(ReportPainter::paint(layout, writer, &placed));

        int texts = 0;
        for (const ReportObject& object : layout.objects())
            texts += object.kind == ReportObject::Kind::Text && !object.text.isEmpty() ? 1 : 0;
        int checked = 0;
        for (const ReportPainter::PlacedText& text : placed) {
            if (text.text.isNull())
                continue;
            ++checked;
            const ReportObject& object = *layout.object(text.name);
            // A thousandth of a millimetre for the rounding of the units.
            QVERIFY2(text.box.adjusted(-0.001, -0.001, 0.001, 0.001).contains(text.text),
                     qPrintable(describe(text)));
            if (demodata && !smaller.contains(text.name))
                QVERIFY2(qFuzzyCompare(text.pointsize, object.font.pointsize), qPrintable(describe(text)));
            else
                QVERIFY2(text.pointsize >= object.font.pointsize * 0.6 - 1e-9, qPrintable(describe(text)));
        }
        QCOMPARE(checked, texts);
    }

    // The pictures carry no live text that a missing font could widen: their texts are outlines,
    // each inside the picture.
    void artworkHasOutlinesOnly()
    {
        QDirIterator files(u":/artwork"_s, {u"*.svg"_s});
        int pictures = 0;
        while (files.hasNext()) {
            const QString path = files.next();
            ++pictures;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString svg = QString::fromUtf8(file.readAll());
            QVERIFY2(!svg.contains(u"<text"_s), qPrintable(path));
            QSvgRenderer renderer(path);
            QVERIFY2(renderer.isValid(), qPrintable(path));
            const QRectF view = renderer.viewBoxF();
            QRegularExpressionMatchIterator ids =
                QRegularExpression(u"id=\"(texte-\\d+)\""_s).globalMatch(svg);
            while (ids.hasNext()) {
                const QString id = ids.next().captured(1);
                const QRectF outline = renderer.transformForElement(id).mapRect(renderer.boundsOnElement(id));
                QVERIFY2(!outline.isEmpty() && view.contains(outline), qPrintable(path + u' ' + id));
            }
        }
        QCOMPARE(pictures, 6);
    }
};

QTEST_MAIN(TestLayoutFit)
#include "tst_layoutfit.moc"
