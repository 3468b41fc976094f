#include "data/ColumnFit.h"

#include <QTest>
#include <numeric>

using Columns = std::vector<ColumnFit::Column>;
using Widths = std::vector<int>;
Q_DECLARE_METATYPE(Columns)
Q_DECLARE_METATYPE(Widths)

class TestColumnFit : public QObject
{
    Q_OBJECT
private slots:
    void fit_data()
    {
        QTest::addColumn<Columns>("columns"); // title, content, most
        QTest::addColumn<int>("available");
        QTest::addColumn<Widths>("widths");
        QTest::newRow("room for all: the rest in proportion")
            << Columns{{30, 50, -1}, {40, 20, -1}} << 180 << Widths{100, 80};
        QTest::newRow("a title wider than its content")
            << Columns{{80, 20, 70}, {40, 20, -1}} << 120 << Widths{80, 40};
        QTest::newRow("most caps the content, room left gives it back")
            << Columns{{30, 300, 100}, {40, 20, -1}} << 200 << Widths{160, 40};
        QTest::newRow("most caps the content, then the rest in proportion")
            << Columns{{30, 100, 60}, {40, 20, -1}} << 200 << Widths{143, 57};
        QTest::newRow("too narrow: titles whole, the widest want cut first")
            << Columns{{30, 130, -1}, {40, 60, -1}, {50, 20, -1}} << 170 << Widths{60, 60, 50};
        QTest::newRow("too narrow: short texts whole, the long ones cut to one bound")
            << Columns{{90, 55, 100},  {35, 68, 110}, {55, 105, 70},
                       {60, 180, 100}, {80, 45, 70},  {40, 130, 100}}
            << 440 << Widths{90, 68, 68, 67, 80, 67};
        QTest::newRow("too narrow for the titles: all in proportion to them")
            << Columns{{60, 100, -1}, {40, 100, -1}} << 50 << Widths{30, 20};
        QTest::newRow("no column") << Columns{} << 100 << Widths{};
    }
    void fit()
    {
        QFETCH(Columns, columns);
        QFETCH(int, available);
        QFETCH(Widths, widths);
        const Widths fitted = ColumnFit::fit(columns, available);
        QCOMPARE(fitted, widths);
        if (!columns.empty())
            QCOMPARE(std::accumulate(fitted.begin(), fitted.end(), 0), available);
    }
};

QTEST_GUILESS_MAIN(TestColumnFit)
#include "tst_columnfit.moc"
