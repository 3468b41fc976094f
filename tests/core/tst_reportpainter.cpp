#include "report/ReportLayout.h"
#include "report/ReportPainter.h"

#include <QFontInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int dpi = 150;

QRect pixels(const QRectF& mm)
{
    const double k = dpi / 25.4;
    return QRectF(mm.x() * k, mm.y() * k, mm.width() * k, mm.height() * k).toAlignedRect();
}

bool white(QRgb pixel)
{
    return qRed(pixel) > 250 && qGreen(pixel) > 250 && qBlue(pixel) > 250;
}

// Pixels that are not white, inside `area` (page millimetres).
int ink(const QImage& image, const QRectF& area)
{
    const QRect box = pixels(area) & image.rect();
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            count += white(image.pixel(x, y)) ? 0 : 1;
    }
    return count;
}

// The bounding box of the ink, in page millimetres.
QRectF inkbox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!white(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    const double k = 25.4 / dpi;
    return QRectF(box.x() * k, box.y() * k, box.width() * k, box.height() * k);
}

ReportLayout layoutof(const QByteArray& objects)
{
    QString error;
    const auto layout = ReportLayout::fromjson(
        R"({"name": "essai", "page": {"width": 100, "height": 100, "margins": {"left": 10, "top": 10, "right": 10,
            "bottom": 10}}, "objects": [)" +
            objects + "]}",
        &error);
    if (!layout)
        qFatal("layout: %s", qPrintable(error));
    return *layout;
}

QString longtext()
{
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines.append(
            QStringLiteral("Une ligne bien plus longue que la largeur de sa boîte, numéro %1").arg(i));
    return lines.join(u'\n');
}

} // namespace

class TestReportPainter : public QObject
{
    Q_OBJECT
private slots:
    void substitutesFonts_data()
    {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("family");
        QTest::newRow("Calibri") << QStringLiteral("Calibri") << QStringLiteral("Carlito");
        QTest::newRow("Arial Unicode MS")
            << QStringLiteral("Arial Unicode MS") << QStringLiteral("Liberation Sans");
        QTest::newRow("its vertical name")
            << QStringLiteral("@Arial Unicode MS") << QStringLiteral("Liberation Sans");
    }
    void substitutesFonts()
    {
        QFETCH(QString, face);
        QFETCH(QString, family);
        QCOMPARE(ReportPainter::family(face), family);
        // The font is installed: the system gives it, not a fallback.
        QCOMPARE(QFontInfo(QFont(ReportPainter::family(face))).family(), family);
    }

    // Each stored layout, every text object given far more text than it holds: the header band
    // is drawn, every object stays in its box and nothing reaches the margins.
    void ticketsStayInTheirBoxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Repcoupon750") << QStringLiteral("Repcoupon750");
        QTest::newRow("Repcoupon20") << QStringLiteral("Repcoupon20");
        QTest::newRow("reppoints") << QStringLiteral("reppoints");
    }
    void ticketsStayInTheirBoxes()
    {
        QFETCH(QString, name);
        ReportLayout layout = ReportLayout::fromresource(name);
        for (const ReportObject& object : layout.objects())
            layout.settext(object.name, longtext());
        const QImage page = ReportPainter::render(layout, dpi);
        QCOMPARE(page.size(), QSize(1240, 1754));

        const QRectF band = layout.object(QStringLiteral("Picture3"))->rect.translated(10, 10);
        QVERIFY2(ink(page, band) > pixels(band).width() * pixels(band).height() * 3 / 4, "the band is drawn");

        QImage outside = page;
        QPainter blank(&outside);
        for (const ReportObject& object : layout.objects())
            blank.fillRect(pixels(object.rect.translated(10, 10)).adjusted(-1, -1, 1, 1), Qt::white);
        blank.end();
        QCOMPARE(ink(outside, QRectF(0, 0, 210, 297)), 0);
        QVERIFY(QRectF(10, 10, 190, 277).contains(inkbox(page)));
    }

    // A picture is scaled to fit its box with its proportions kept, from the top-left corner.
    void picturesKeepTheirProportions_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<QRectF>("drawn");
        const QRectF wide(5, 5, 60, 10);
        const QRectF tall(5, 5, 10, 60);
        QTest::newRow("PNG in a wide box") << QStringLiteral("noir.png") << wide << QRectF(15, 15, 20, 10);
        QTest::newRow("PNG in a tall box") << QStringLiteral("noir.png") << tall << QRectF(15, 15, 10, 5);
        QTest::newRow("SVG in a wide box") << QStringLiteral("noir.svg") << wide << QRectF(15, 15, 20, 10);
        QTest::newRow("SVG in a tall box") << QStringLiteral("noir.svg") << tall << QRectF(15, 15, 10, 5);
    }
    void picturesKeepTheirProportions()
    {
        QFETCH(QString, file);
        QFETCH(QRectF, box);
        QFETCH(QRectF, drawn);
        QTemporaryDir dir;
        QImage black(200, 100, QImage::Format_RGB32);
        black.fill(Qt::black);
        QVERIFY(black.save(dir.filePath(QStringLiteral("noir.png"))));
        QFile svg(dir.filePath(QStringLiteral("noir.svg")));
        QVERIFY(svg.open(QIODevice::WriteOnly));
        svg.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100" viewBox="0 0 200 100">)"
                  R"(<rect width="200" height="100" fill="black"/></svg>)");
        svg.close();

        const QByteArray object = QStringLiteral(R"({"name": "p", "kind": "picture", "left": %1, "top": %2,
            "width": %3, "height": %4, "picture": "%5"})")
                                      .arg(box.x())
                                      .arg(box.y())
                                      .arg(box.width())
                                      .arg(box.height())
                                      .arg(dir.filePath(file))
                                      .toUtf8();
        const QImage page = ReportPainter::render(layoutof(object), dpi);
        const QRectF inked = inkbox(page);
        QVERIFY2(qAbs(inked.left() - drawn.left()) < 0.3 && qAbs(inked.top() - drawn.top()) < 0.3 &&
                     qAbs(inked.right() - drawn.right()) < 0.3 && qAbs(inked.bottom() - drawn.bottom()) < 0.3,
                 qPrintable(QStringLiteral("drawn at %1, %2, %3 x %4")
                                .arg(inked.x())
                                .arg(inked.y())
                                .arg(inked.width())
                                .arg(inked.height())));
    }

    void checkBoxes_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("frame");
        QTest::newRow("ticked, framed") << true << true;
        QTest::newRow("clear, framed") << false << true;
        QTest::newRow("ticked, no frame") << true << false;
        QTest::newRow("clear, no frame") << false << false;
    }
    void checkBoxes()
    {
        QFETCH(bool, checked);
        QFETCH(bool, frame);
        ReportLayout layout =
            layoutof(QStringLiteral(R"({"name": "c", "kind": "checkbox", "left": 20, "top": 20,
            "width": 6, "height": 6, "frame": %1})")
                         .arg(frame ? u"true" : u"false")
                         .toUtf8());
        QVERIFY(layout.setchecked(QStringLiteral("c"), checked));
        const QImage page = ReportPainter::render(layout, dpi);
        const QRectF box(30, 30, 6, 6);
        QCOMPARE(ink(page, box.adjusted(1, 1, -1, -1)) > 0, checked);
        QCOMPARE(ink(page, QRectF(box.left(), box.top(), 6, 0.2)) > 0, frame);
        QCOMPARE(ink(page, QRectF(box.left(), box.top(), 0.2, 6)) > 0, frame);
    }

    void centredText()
    {
        const ReportLayout layout =
            layoutof(R"({"name": "t", "kind": "text", "left": 0, "top": 0, "width": 80,
            "height": 10, "align": "center", "font": {"face": "Calibri", "size": 12}, "lines": ["Ville :"]})");
        const QRectF inked = inkbox(ReportPainter::render(layout, dpi));
        QVERIFY(inked.width() > 5);
        QVERIFY2(qAbs(inked.center().x() - 50.0) < 0.5, qPrintable(QString::number(inked.center().x())));
    }
};

QTEST_MAIN(TestReportPainter)
#include "tst_reportpainter.moc"
