#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "settings/Switches.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The whole program started on a work folder whose settings point at the local platform.
class Started
{
public:
    explicit Started(const LocalPlatform& platform)
    {
        platform.preparework(m_work.path());
        program = std::make_unique<Program>(Switches({u"quilba"_s}), dialogs, shell, m_clock);
    }

    CounterWindow& window() { return program->counterwindow(); }
    QString label(const char* name) { return window().findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    void search(const QString& text)
    {
        window().search()->setFocus();
        window().search()->clear();
        QTest::keyClicks(window().search(), text);
        QTest::keyClick(window().search(), Qt::Key_Return);
    }

    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Program> program;

private:
    QTemporaryDir m_work;
    SystemClock m_clock;
};

} // namespace

class TestCounterLookupPlatform : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_platform = std::make_unique<LocalPlatform>();
        QVERIFY2(m_platform->started(), qPrintable(m_platform->error()));
    }
    void cleanup() { m_platform.reset(); }

    void cardNumberShowsTheMember_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("typed") << u"1010001"_s;
        QTest::newRow("scanned") << u"3300010100016"_s;
    }
    void cardNumberShowsTheMember()
    {
        QFETCH(QString, typed);
        Started counter(*m_platform);
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
        Started counter(*m_platform);
        QStringList cards;
        QStringList names;
        QStringList firstnames;
        auto* timer = new QTimer(this);
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, timer, [&, timer] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer->stop();
            auto* grid = dialog->findChild<QTableView*>(u"DBGrid1"_s);
            for (int row = 0; row < grid->model()->rowCount(); ++row) {
                cards << grid->model()->index(row, 1).data().toString();
                names << grid->model()->index(row, 2).data().toString();
                firstnames << grid->model()->index(row, 3).data().toString();
            }
            QTest::keyClick(grid, Qt::Key_Down);
            QTest::keyClick(grid, Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
        timer->start();
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
        Started counter(*m_platform);
        counter.search(u"9999999"_s);
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Client inconnu"_s});
        QVERIFY(counter.window().state().idle());
    }

private:
    std::unique_ptr<LocalPlatform> m_platform;
};

QTEST_MAIN(TestCounterLookupPlatform)
#include "tst_counterlookup_platform.moc"
