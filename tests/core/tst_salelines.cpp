#include "ProductLines.h"

#include "counter/Sale.h"
#include "counter/SaleLine.h"
#include "counter/SaleLines.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SaleLine)
Q_DECLARE_METATYPE(SaleLine::Field)

namespace {

using Field = SaleLine::Field;

// The line A100, 2 × 4,5 = 9, into which the cases type.
const SaleLine typedline{u"A100"_s, 2, 4.5, 9.0};

} // namespace

// The rules of the sale's product lines, without the grid: what a field takes from the text typed,
// a line's total, which lines are stored and what they add up to.
class TestSaleLines final : public QObject
{
    Q_OBJECT
private slots:
    void typing_data()
    {
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // the cell afterwards
        QTest::addColumn<QString>("why");   // empty: taken
        const QString integer = u"'%1' n'est pas une valeur entière correcte"_s;
        const QString floating = u"'%1' n'est pas une valeur en virgule flottante correcte"_s;
        QTest::newRow("code") << Field::Code << u"B200"_s << u"B200"_s << QString();
        QTest::newRow("code cut to 20")
            << Field::Code << u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s << u"ABCDEFGHIJKLMNOPQRST"_s << QString();
        // An emoji across the 20th character goes whole, never half of it.
        QTest::newRow("code cut before an emoji")
            << Field::Code << u"ABCDEFGHIJKLMNOPQRS\U0001F600"_s << u"ABCDEFGHIJKLMNOPQRS"_s << QString();
        QTest::newRow("code emptied") << Field::Code << QString() << QString() << QString();
        QTest::newRow("quantity") << Field::Quantity << u" 3 "_s << u"3"_s << QString();
        QTest::newRow("quantity negative") << Field::Quantity << u"-1"_s << u"-1"_s << QString();
        QTest::newRow("quantity emptied") << Field::Quantity << u"  "_s << QString() << QString();
        QTest::newRow("quantity 2,5") << Field::Quantity << u"2,5"_s << u"2"_s << integer.arg(u"2,5"_s);
        QTest::newRow("quantity x") << Field::Quantity << u"x"_s << u"2"_s << integer.arg(u"x"_s);
        QTest::newRow("price 2,5") << Field::UnitPrice << u"2,5"_s << u"2,5"_s << QString();
        QTest::newRow("price ,5") << Field::UnitPrice << u",5"_s << u"0,5"_s << QString();
        QTest::newRow("price 2,50") << Field::UnitPrice << u"2,50"_s << u"2,5"_s << QString();
        QTest::newRow("price emptied") << Field::UnitPrice << QString() << QString() << QString();
        QTest::newRow("price 2,5,1") << Field::UnitPrice << u"2,5,1"_s << u"4,5"_s
                                     << floating.arg(u"2,5,1"_s);
        QTest::newRow("price 2.5") << Field::UnitPrice << u"2.5"_s << u"4,5"_s << floating.arg(u"2.5"_s);
        QTest::newRow("total typed") << Field::Total << u"8"_s << u"8"_s << QString();
        QTest::newRow("total x1,5") << Field::Total << u"x1,5"_s << u"9"_s << floating.arg(u"x1,5"_s);
    }
    void typing()
    {
        QFETCH(Field, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, why);
        QCOMPARE(SaleLine::unreadable(field, typed).value_or(QString()), why);
        SaleLine line = typedline;
        QCOMPARE(line.settext(field, typed).value_or(QString()), why);
        QCOMPARE(line.text(field), shown);
        // The other fields stay as they were.
        for (const Field other : SaleLine::fields) {
            if (other != field)
                QCOMPARE(line.text(other), typedline.text(other));
        }
    }

    void lineTotal_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("total");
        QTest::newRow("3 x 2,5") << u"3"_s << u"2,5"_s << u"7,5"_s;
        QTest::newRow("3 x 0,1") << u"3"_s << u"0,1"_s << u"0,3"_s;
        QTest::newRow("no quantity") << QString() << u"4"_s << u"0"_s;
        QTest::newRow("no price") << u"2"_s << QString() << u"0"_s;
        QTest::newRow("-1 x 4,5") << u"-1"_s << u"4,5"_s << u"-4,5"_s;
    }
    void lineTotal()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(QString, total);
        SaleLines lines;
        const int row = lines.appendpending();
        QCOMPARE(lines.settext(row, Field::Quantity, quantity), std::nullopt);
        QCOMPARE(lines.settext(row, Field::UnitPrice, price), std::nullopt);
        lines.producttotal(row);
        QCOMPARE(lines.at(row).text(Field::Total), total);
    }

    void amountFromLines_data()
    {
        QTest::addColumn<std::vector<SaleLine>>("stored");
        QTest::addColumn<QString>("amount");
        QTest::newRow("no line") << std::vector<SaleLine>() << u"0"_s;
        QTest::newRow("no total") << std::vector<SaleLine>{{u"A"_s, 1, 2.0, {}}} << u"0"_s;
        QTest::newRow("two lines") << std::vector<SaleLine>{{u"A100"_s, 2, 4.5, 9.0},
                                                            {u"B200"_s, 1, 16.8, 16.8}}
                                   << u"25,8"_s;
        QTest::newRow("a line without total")
            << std::vector<SaleLine>{{u"A"_s, 1, 0.1, 0.1}, {u"B"_s, {}, {}, {}}, {u"C"_s, 1, 0.2, 0.2}}
            << u"0,3"_s;
    }
    void amountFromLines()
    {
        QFETCH(std::vector<SaleLine>, stored);
        QFETCH(QString, amount);
        QCOMPARE(Sale::amountfromlines(stored), amount);
    }

    // Only stored lines count: a line is stored with its code, a stored line edited leaves the
    // count until it is stored again, and the listeners hear of each line stored or deleted.
    void onlyStoredLinesCount()
    {
        SaleLines lines;
        QSignalSpy stored(&lines, &SaleLines::linestored);
        QSignalSpy deleted(&lines, &SaleLines::linedeleted);
        const int first = lines.appendpending();
        QCOMPARE(lines.settext(first, Field::Quantity, u"3"_s), std::nullopt);
        QCOMPARE(lines.settext(first, Field::UnitPrice, u"2,5"_s), std::nullopt);
        lines.producttotal(first);
        QCOMPARE(lines.store(first), u"Le champ 'Code Produit' doit avoir une valeur"_s);
        QVERIFY(lines.entering(first));
        QVERIFY(lines.stored().empty());
        QVERIFY(lines.anytyped());
        QCOMPARE(stored.size(), 0);

        QCOMPARE(lines.settext(first, Field::Code, u"A100"_s), std::nullopt);
        QCOMPARE(lines.store(first), std::nullopt);
        QCOMPARE(stored.size(), 1);
        QVERIFY(storeLines(lines, {{u"B200"_s, 1, 16.8, 16.8}}));
        QCOMPARE(Sale::amountfromlines(lines.stored()), u"24,3"_s);

        // A total already right leaves the stored line stored.
        lines.producttotal(first);
        QVERIFY(!lines.entering(first));
        // Edited, it is out until stored again; only a line never stored can be cancelled.
        QCOMPARE(lines.settext(first, Field::Quantity, u"4"_s), std::nullopt);
        QVERIFY(lines.entering(first) && !lines.inserted(first));
        QVERIFY(!lines.cancel(first));
        QCOMPARE(lines.stored().size(), std::size_t{1});
        lines.producttotal(first);
        QCOMPARE(lines.store(first), std::nullopt);
        QCOMPARE(Sale::amountfromlines(lines.stored()), u"26,8"_s);

        // A new empty line goes without a trace.
        const int empty = lines.appendpending();
        QVERIFY(lines.inserted(empty) && lines.at(empty).blank());
        QVERIFY(lines.cancel(empty));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(deleted.size(), 0);

        QVERIFY(lines.remove(1));
        QCOMPARE(deleted.size(), 1);
        QCOMPARE(Sale::amountfromlines(lines.stored()), u"10"_s);
        QVERIFY(lines.remove(0));
        QCOMPARE(Sale::amountfromlines(lines.stored()), u"0"_s);
        QVERIFY(!lines.remove(0));
        QVERIFY(!lines.anytyped());
    }
};

QTEST_GUILESS_MAIN(TestSaleLines)
#include "tst_salelines.moc"
