#include "RecordingShell.h"
#include "LocalPlatform.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "data/MemoryTable.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "settings/Switches.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The whole program on a work folder whose settings point at the local platform.
class Started
{
public:
    explicit Started(const LocalPlatform& platform)
    {
        platform.preparework(m_work.path());
        program = std::make_unique<Program>(Switches({u"quilba"_s}), dialogs, shell, m_clock);
    }

    CounterWindow& window() { return program->counterwindow(); }

    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Program> program;

private:
    QTemporaryDir m_work;
    SystemClock m_clock;
};

} // namespace

class TestSalePlatform : public QObject
{
    Q_OBJECT
private slots:
    void saleRaisesThePoints()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Started counter(platform);
        CounterWindow& window = counter.window();
        window.search()->setText(u"1010001"_s);
        window.btsearchClick();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        bool number = false;
        const int before = window.encours()->text().toInt(&number);
        QVERIFY(number);

        MemoryTable& produits = window.state().Produits();
        produits.appendrow({u"A100"_s, 2, 4.5, 9.0});
        produits.appendrow({u"B200"_s, 1, 16.8, 16.8});
        window.amountfromlines();
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
        QCOMPARE(produits.rowCount(), 0);
    }
};

QTEST_MAIN(TestSalePlatform)
#include "tst_sale_platform.moc"
