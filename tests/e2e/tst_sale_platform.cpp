#include "ProductLines.h"
#include "RunningProgram.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/SaleLines.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TestSalePlatform : public QObject
{
    Q_OBJECT
private slots:
    void saleRaisesThePoints()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        RunningProgram counter(platform);
        CounterWindow& window = counter.window();
        window.search()->setText(u"1010001"_s);
        window.btsearchClick();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        bool number = false;
        const int before = window.encours()->text().toInt(&number);
        QVERIFY(number);

        SaleLines& produits = window.state().Produits();
        QVERIFY(storeLines(produits, {{u"A100"_s, 2, 4.5, 9.0}, {u"B200"_s, 1, 16.8, 16.8}}));
        QCOMPARE(window.addpoint()->text(), u"25,8"_s);
        window.edvendeur()->setText(u"AB"_s);
        window.ednumvente()->setText(u"V-2026-1"_s);
        const QString today = QDate::currentDate().toString(u"dd/MM/yyyy"_s);
        window.btnadd()->click();

        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QVERIFY(!window.state().idle());
        QCOMPARE(window.encours()->text(), QString::number(before + 25));
        QCOMPARE(window.findChild<QLabel*>(u"lbldernvente"_s)->text(), today);
        QCOMPARE(window.addpoint()->text(), QString());
        QCOMPARE(window.ednumvente()->text(), QString());
        QCOMPARE(window.edvendeur()->text(), u"AB"_s);
        QCOMPARE(produits.size(), 0);
    }
};

QTEST_MAIN(TestSalePlatform)
#include "tst_sale_platform.moc"
