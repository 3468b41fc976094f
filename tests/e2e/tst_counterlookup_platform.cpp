#include "Person.h"
#include "PlatformTest.h"
#include "RunningProgram.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"

#include <QDialog>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TestCounterLookupPlatform : public PlatformTest
{
    Q_OBJECT
private slots:
    void cardNumberShowsTheMember_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("typed") << u"1010001"_s;
        QTest::newRow("scanned") << u"3300010100016"_s;
    }
    void cardNumberShowsTheMember()
    {
        QFETCH(QString, typed);
        RunningProgram counter(*m_platform);
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        counter.search(typed);

        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        CounterWindow& w = counter.window();
        QCOMPARE(w.search()->text(), u"1010001"_s);
        QCOMPARE(counter.label("lblnom"), u"MME Marie DUPONT"_s);
        QCOMPARE(counter.label("lbladresse"), u"12 rue de la République 69002 LYON"_s);
        QCOMPARE(counter.label("lblmail"), u"marie.dupont@example.fr"_s);
        bool number = false;
        counter.label("encours").toInt(&number);
        QVERIFY2(number, qPrintable(counter.label("encours")));
        QVERIFY(!w.state().idle());
        QVERIFY(!w.state().currentmemberid().isEmpty());
        QCOMPARE(w.btsearch()->text(), u"Actualiser"_s);
    }

    void surnameThenSecondRow()
    {
        RunningProgram counter(*m_platform);
        QStringList cards;
        QStringList names;
        QStringList firstnames;
        Person::whenmodal([&](QDialog* dialog) {
            auto* grid = dialog->findChild<QTableView*>(u"DBGrid1"_s);
            for (int row = 0; row < grid->model()->rowCount(); ++row) {
                cards << grid->model()->index(row, 1).data().toString();
                names << grid->model()->index(row, 2).data().toString();
                firstnames << grid->model()->index(row, 3).data().toString();
            }
            Person::press(Qt::Key_Down);
            Person::press(Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
        counter.search(u"DUPONT"_s);

        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QCOMPARE(names.mid(0, 5),
                 (QStringList{u"DUPONT"_s, u"DUPONT"_s, u"DUPONT"_s, u"DUPONT"_s, u"DUPONTEL"_s}));
        QCOMPARE(firstnames.mid(0, 5),
                 (QStringList{u"Jean"_s, u"Marc"_s, u"Marie"_s, u"Martine"_s, u"Agnès"_s}));
        QCOMPARE(counter.window().search()->text(), cards.value(1));
        QCOMPARE(counter.label("lblnom"), u"M Marc DUPONT"_s);
        QVERIFY(!counter.label("encours").isEmpty());
    }

    void unknownCard()
    {
        RunningProgram counter(*m_platform);
        counter.search(u"9999999"_s);
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Client inconnu"_s});
        QVERIFY(counter.window().state().idle());
    }
};

QTEST_MAIN(TestCounterLookupPlatform)
#include "tst_counterlookup_platform.moc"
