// Random, seeded, bounded real input over the counter window, the choice dialog, the enrolment
// form and the history window, against the local platform. Message boxes are answered at random
// by the same seed. Any crash, sanitizer report or broken invariant fails the run and names the
// seed, so that the run can be replayed:
//   QUILBA_MONKEY_SEED=<seed> QUILBA_MONKEY_STEPS=<steps> tst_monkey
// QUILBA_MONKEY_SECONDS=<s> runs fresh seeds one after the other for that long, however long.
#include "LocalPlatform.h"
#include "Person.h"
#include "RunningProgram.h"
#include "api/HttpClient.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/SaleLines.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Cards of the demo platform: one member, several homonyms (the choice dialog), unknown.
const QStringList searches{u"1010001"_s,      u"1010004"_s, u"3300010100016"_s, u"DUPONT"_s,
                           u"DUPONT MARIE"_s, u"9999999"_s, u"1010002"_s};

struct Key
{
    Qt::Key key;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// Editing keys, then the keys of the buttons. Alt+P (the parameters) is left out: it could end the
// program by design.
const std::vector<Key> keys{
    {Qt::Key_Return, {}},
    {Qt::Key_Tab, {}},
    {Qt::Key_Backtab, {}, Qt::ShiftModifier},
    {Qt::Key_Escape, {}},
    {Qt::Key_Backspace, {}},
    {Qt::Key_Delete, {}},
    {Qt::Key_Up, {}},
    {Qt::Key_Down, {}},
    {Qt::Key_Left, {}},
    {Qt::Key_Right, {}},
    {Qt::Key_Space, u" "_s},
    {Qt::Key_Home, {}},
    {Qt::Key_End, {}},
    {Qt::Key_F2, {}},
    {Qt::Key_Period, u"."_s},
    {Qt::Key_Comma, u","_s},
    {Qt::Key_Minus, u"-"_s},
    {Qt::Key_Plus, u"+"_s},
    {Qt::Key_1, u"1"_s},
    {Qt::Key_2, u"2"_s},
    {Qt::Key_0, u"0"_s},
    {Qt::Key_5, u"5"_s},
    {Qt::Key_A, u"a"_s},
    {Qt::Key_M, u"M"_s},
    {Qt::Key_F, u"F"_s},
    {Qt::Key_F3, {}},
    {Qt::Key_F4, {}},
    {Qt::Key_F5, {}},
    {Qt::Key_F9, {}},
    {Qt::Key_F10, {}},
    {Qt::Key_F12, {}},
    {Qt::Key_Insert, {}},
    {Qt::Key_Delete, {}, Qt::ControlModifier},
    {Qt::Key_P, {}, Qt::ControlModifier},
    {Qt::Key_A, {}, Qt::AltModifier},
    {Qt::Key_V, {}, Qt::AltModifier},
    {Qt::Key_Q, {}, Qt::AltModifier},
    {Qt::Key_I, {}, Qt::AltModifier},
};

class Monkey final : public QObject
{
public:
    Monkey(RunningProgram& counter, quint32 seed, int steps)
        : m_counter(counter), m_random(seed), m_steps(steps)
    {
        QList<bool> answers;
        for (int i = 0; i < 100000; ++i)
            answers.append(m_random.bounded(2) == 1);
        counter.dialogs.script(answers);
    }

    // Runs the steps one after the other from the event loop, so that a modal window opened by
    // one step gets the next ones from inside its own loop; returns when every window opened is
    // closed again.
    void run()
    {
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(0, this, &Monkey::tick);
        loop.exec();
    }

private:
    void tick()
    {
        // While a request waits for its reply the program takes no input from the user; nor while
        // a step is still under way: the events a key or a click sets off are handled before the
        // next one, unless the step opened a modal window and waits in its loop.
        const int level = QThread::currentThread()->loopLevel();
        if (HttpClient::waiting() > 0 || (!m_levels.empty() && level <= m_levels.back())) {
            QTimer::singleShot(1, this, &Monkey::tick);
            return;
        }
        if (m_done < m_steps && m_failure.isEmpty()) {
            // The next step is due first: this one may open a modal window and wait in it.
            QTimer::singleShot(0, this, &Monkey::tick);
            if (qEnvironmentVariableIsSet("QUILBA_MONKEY_TRACE"))
                qInfo("pas %d sur %s, focus %s", m_done, qPrintable(surface()->objectName()),
                      QApplication::focusWidget() ? qPrintable(QApplication::focusWidget()->objectName())
                                                  : "-");
            ++m_done;
            m_levels.push_back(level);
            step();
            m_levels.pop_back();
            if (m_failure.isEmpty())
                m_failure = broken();
            return;
        }
        // Then every window the steps left open is closed, the innermost first.
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        } else {
            m_loop->quit();
            return;
        }
        QTimer::singleShot(0, this, &Monkey::tick);
    }

    QWidget* surface() const
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup;
        if (QWidget* modal = QApplication::activeModalWidget())
            return modal;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->objectName() == u"formhisto"_s)
                return window;
        }
        return &m_counter.window();
    }

    void step()
    {
        QWidget* on = surface();
        on->activateWindow();
        const int dice = static_cast<int>(m_random.bounded(100));
        if (dice < 8 && on == &m_counter.window()) {
            Person::submit(m_counter.window().search(),
                           searches.at(static_cast<int>(m_random.bounded(searches.size()))));
            return;
        }
        if (dice < 60) {
            // Keys reach the window that has the keyboard, as they do from a keyboard: a window
            // behind a modal one gets none.
            const auto& [key, text, modifiers] = keys.at(m_random.bounded(static_cast<quint32>(keys.size())));
            if (text.isEmpty() || modifiers != Qt::NoModifier)
                Person::press(key, modifiers);
            else
                Person::type(text);
            return;
        }
        // A click, or a double click, somewhere on a visible control of the window in front.
        QList<QWidget*> targets;
        for (QWidget* widget : on->findChildren<QWidget*>()) {
            // The parameters could end the program by design; the window's close box likewise.
            if (widget->isVisible() && widget->isEnabled() && widget->objectName() != u"ToolButton5"_s &&
                widget->width() > 0 && widget->height() > 0)
                targets.append(widget);
        }
        if (targets.isEmpty())
            return;
        QWidget* target = targets.at(static_cast<int>(m_random.bounded(targets.size())));
        const QPoint at(static_cast<int>(m_random.bounded(target->width())),
                        static_cast<int>(m_random.bounded(target->height())));
        // Through the window at that point: what lies on top there gets it.
        if (m_random.bounded(4) == 0)
            Person::doubleclick(target, at);
        else
            Person::click(target, at);
    }

    // What must hold after every step; the first rule broken, or nothing.
    QString broken()
    {
        CounterWindow& window = m_counter.window();
        SaleLines& produits = window.state().Produits();
        if (produits.changing())
            return u"la table des produits est restée au milieu d'un changement (pas %1)"_s.arg(m_done);
        if (produits.size() != 0 && !window.dbgridproduits()->isEnabled())
            return u"des lignes de produits sans client affiché (pas %1)"_s.arg(m_done);
        return {};
    }

public:
    const QString& failure() const { return m_failure; }

private:
    RunningProgram& m_counter;
    QRandomGenerator m_random;
    int m_steps;
    int m_done = 0;
    QString m_failure;
    QEventLoop* m_loop = nullptr;
    // The event loop levels of the steps under way, the innermost last.
    std::vector<int> m_levels;
};

int environment(const char* name, int otherwise)
{
    bool number = false;
    const int value = qEnvironmentVariableIntValue(name, &number);
    return number ? value : otherwise;
}

// One run on a fresh program: the broken rule, or nothing.
QString runseed(quint32 seed, int steps)
{
    qInfo("singe : graine %u, %d pas", seed, steps);
    LocalPlatform platform;
    if (!platform.started())
        return platform.error();
    RunningProgram counter(platform);
    counter.show();
    Monkey monkey(counter, seed, steps);
    monkey.run();
    if (!monkey.failure().isEmpty())
        return monkey.failure();
    if (!counter.window().isVisible())
        return u"la fenêtre du comptoir a disparu"_s;
    return {};
}

} // namespace

class TestMonkey : public QObject
{
    Q_OBJECT
public:
    // Before the test starts: Qt Test ends a test function after five minutes, or what
    // QTEST_FUNCTION_TIMEOUT says, in the middle of a seed. Fresh seeds run for as long as they
    // are given, and the last one to its end after that.
    static void initMain()
    {
        const int seconds = environment("QUILBA_MONKEY_SECONDS", 0);
        if (seconds <= 0)
            return;
        const qint64 lastseed = 900;
        const qint64 needed = std::min<qint64>((seconds + lastseed) * 1000, std::numeric_limits<int>::max());
        if (environment("QTEST_FUNCTION_TIMEOUT", 0) < needed)
            qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(needed));
    }

private slots:
    void randomInputKeepsTheProgramWhole_data()
    {
        QTest::addColumn<quint32>("seed");
        if (qEnvironmentVariableIsSet("QUILBA_MONKEY_SEED")) {
            const auto seed = static_cast<quint32>(environment("QUILBA_MONKEY_SEED", 1));
            QTest::addRow("graine %u", seed) << seed;
        } else if (environment("QUILBA_MONKEY_SECONDS", 0) > 0) {
            QTest::addRow("graines fraîches") << 0u;
        } else {
            for (quint32 seed : {1u, 2u, 3u})
                QTest::addRow("graine %u", seed) << seed;
        }
    }
    void randomInputKeepsTheProgramWhole()
    {
        QFETCH(quint32, seed);
        const int steps = environment("QUILBA_MONKEY_STEPS", 1500);
        if (seed != 0) {
            const QString failure = runseed(seed, steps);
            QVERIFY2(failure.isEmpty(), qPrintable(u"graine %1 : %2"_s.arg(seed).arg(failure)));
            return;
        }
        // Fresh seeds one after the other until the time is up.
        QElapsedTimer elapsed;
        elapsed.start();
        auto fresh = static_cast<quint32>(QDateTime::currentMSecsSinceEpoch());
        int runs = 0;
        while (elapsed.elapsed() < environment("QUILBA_MONKEY_SECONDS", 0) * 1000LL) {
            const QString failure = runseed(fresh, steps);
            QVERIFY2(failure.isEmpty(), qPrintable(u"graine %1 : %2"_s.arg(fresh).arg(failure)));
            ++fresh;
            ++runs;
        }
        qInfo("singe : %d graines sans faute", runs);
    }
};

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
