#include "CaptureServer.h"
#include "GridReading.h"
#include "Person.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/SaleLines.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "history/HistoryWindow.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray memberreply(const QByteArray& event)
{
    return "{\"FidelityMember\":{\"id\":7,\"cardnumber\":\"1010001\",\"name\":\"DUPONT\",\"firstname\":"
           "\"Marie\",\"nbPoint\":110" +
           (event.isNull() ? QByteArray() : ",\"event\":" + event) + "}}";
}

const QByteArray sale =
    R"({"type":"addCA","fvalue":"12.5","sparam":"07","idExternal":"A123","date":"2018-02-26 09:19:42"})";
const QByteArray points = R"({"type":"addPoint","fvalue":"10","date":"2018-02-27 08:00:00"})";
const QByteArray coupon = R"({"type":"COUPON","fvalue":"5","date":"2018-01-01 10:00:00","status2":true,)"
                          R"("dateUpdateStatus2":"2018-01-10 09:00:00"})";

// The whole program on a capture server (with "nocoupon": a lookup is one request).
class Fixture
{
public:
    Fixture()
    {
        qputenv("QUILBA_WORKDIR", m_work.path().toUtf8());
        qputenv("QUILBA_UPDATE_URL", m_update.url(u"/updatequilba"_s).toUtf8());
        m_update.enqueue(CaptureServer::ok("1.4\n"));
        QFile ini(m_work.filePath(u"quilba.ini"_s));
        if (!ini.open(QIODevice::WriteOnly))
            qFatal("cannot write the settings");
        ini.write("[connexion]\nAPIKEY=cle\nLOGIN=pharma\nPWD=secret\nIDPHARMA=42\nURL=" +
                  server.url().toUtf8() + "\n");
        ini.close();
        program = std::make_unique<Program>(Switches(QStringList{u"quilba"_s, u"-nocoupon"_s}), dialogs,
                                            m_shell, m_clock);
    }

    CounterWindow& counter() { return program->counterwindow(); }
    HistoryWindow& history() { return program->historywindow(); }
    MemoryTable& historique() { return program->datamodule().historique(); }

    // Looks the member up by its card number; the reply carries the given event value.
    void showmember(const QByteArray& event)
    {
        server.enqueue(CaptureServer::ok(memberreply(event)));
        Person::submit(counter().search(), u"1010001"_s);
    }
    void historique_click() { counter().findChild<QToolButton*>(u"ToolButton3"_s)->click(); }
    // The visible columns of the grid, one "Date|Type|Commentaire" text per row.
    QStringList shownrows()
    {
        const QTableView* grid = history().DBGrid1();
        QStringList out;
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < grid->model()->columnCount(); ++column) {
                if (!grid->isColumnHidden(column))
                    cells.append(grid->model()->index(row, column).data().toString());
            }
            out.append(cells.join(u'|'));
        }
        return out;
    }

    CaptureServer server;
    ScriptedDialogs dialogs;
    std::unique_ptr<Program> program;

private:
    QTemporaryDir m_work;
    CaptureServer m_update;
    RecordingShell m_shell;
    SystemClock m_clock;
};

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT
private slots:
    // What "HISTORIQUE" does for a member shown, by the event value of the member reply.
    void historiqueButton_data()
    {
        QTest::addColumn<QByteArray>("event");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("rows"); // empty: no window
        QTest::newRow("no event key") << QByteArray() << QStringList() << QStringList();
        QTest::newRow("empty string")
            << QByteArray(R"("")") << QStringList{u"information: Il n'y a pas d'historique pour ce client"_s}
            << QStringList();
        QTest::newRow("events, newest first")
            << "{\"list\":[" + sale + "," + points + "," + coupon + "]}" << QStringList()
            << QStringList{u"27/02/2018 08:00|Ajout Points 10 pts|"_s,
                           u"26/02/2018 09:19|Ajout CA 12.5 euros|Code Vendeur : 07 N° vente : A123"_s,
                           u"01/01/2018 10:00|Coupon 5 euros|utilisé le: 10/01/2018 09:00"_s};
        QTest::newRow("one event") << "{\"list\":[" + points + "]}" << QStringList()
                                   << QStringList{u"27/02/2018 08:00|Ajout Points 10 pts|"_s};
        QTest::newRow("event without fvalue")
            << "{\"list\":[" + points + R"(,{"type":"addCA","date":"2018-03-01 10:00:00"}]})"
            << QStringList{u"exception: Valeur 'fvalue' introuvable"_s} << QStringList();
        QTest::newRow("list not an array") << QByteArray(R"({"list":"rien"})")
                                           << QStringList{u"exception: L'historique de ce client est "
                                                          u"illisible : la liste des événements est "
                                                          u"absente ou n'est pas une liste"_s}
                                           << QStringList();
    }
    void historiqueButton()
    {
        QFETCH(QByteArray, event);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, rows);
        Fixture f;
        f.showmember(event);
        QVERIFY(f.counter().lblnom()->text().contains(u"DUPONT"_s));
        f.dialogs.clear();
        f.historique_click();
        QStringList shown;
        for (const ScriptedDialogs::Shown& box : f.dialogs.shown())
            shown.append(box.kind % u": "_s % box.text);
        QCOMPARE(shown, messages);
        QCOMPARE(f.history().isVisible(), !rows.isEmpty());
        QCOMPARE(f.shownrows(), rows);
        if (!rows.isEmpty())
            QCOMPARE(f.history().DBGrid1()->currentIndex().row(), 0);
    }

    // The event value outlives the member shown; the button must not act on it once idle.
    void idleDoesNothing()
    {
        Fixture f;
        f.showmember("{\"list\":[" + sale + "," + points + "]}");
        Person::click(f.counter().search());
        Person::press(Qt::Key_End);
        Person::press(Qt::Key_Backspace);
        f.dialogs.clear();
        f.historique_click();
        QVERIFY(f.dialogs.shown().isEmpty());
        QVERIFY(!f.history().isVisible());
        QCOMPARE(f.historique().rowCount(), 0);
    }

    void layoutAndCloseEmptiesTheTable()
    {
        Fixture f;
        f.showmember("{\"list\":[" + sale + "," + points + "]}");
        f.historique_click();
        HistoryWindow& w = f.history();
        QVERIFY(w.isVisible());
        QVERIFY(!w.isModal());
        QCOMPARE(w.windowTitle(), u"Historique "_s);
        QCOMPARE(w.size(), QSize(505, 231));
        const QTableView* grid = w.DBGrid1();
        QVERIFY(grid->isColumnHidden(0));
        QVERIFY(grid->isColumnHidden(4));
        // Within the window's width (columnsReadWhole): "Date" and "Type" no wider than of old.
        QVERIFY(grid->columnWidth(1) <= 130);
        QVERIFY(grid->columnWidth(2) <= 180);
        QCOMPARE(grid->model()->headerData(3, Qt::Horizontal).toString(), u"Commentaire"_s);
        QCOMPARE(w.Button1()->text(), u"Annuler"_s);
        QCOMPARE(w.Button1()->parentWidget()->height(), 41);
        QCOMPARE(w.Button1()->geometry().center().x(), w.Button1()->parentWidget()->width() / 2);
        const QStringList rows = f.shownrows();
        QCOMPARE(rows.size(), 2);

        Person::click(w.Button1());
        QVERIFY(!w.isVisible());
        QCOMPARE(f.historique().rowCount(), 0);

        // Reopened: the same rows, once. Then closed by the close box.
        f.historique_click();
        QVERIFY(w.isVisible());
        QCOMPARE(f.shownrows(), rows);
        // Pressed again while shown: still once.
        f.historique_click();
        QCOMPARE(f.shownrows(), rows);
        w.close();
        QVERIFY(!w.isVisible());
        QCOMPARE(f.historique().rowCount(), 0);
        QVERIFY(f.dialogs.shown().isEmpty());
    }

    // At the window's size every title reads whole, "Commentaire" included, the dates and types
    // too, with or without a scroll bar; a comment too long for its column reads whole as its
    // tooltip.
    void columnsReadWhole_data()
    {
        QTest::addColumn<int>("sales");
        QTest::newRow("three events") << 2;
        QTest::newRow("twelve events, a scroll bar") << 11;
    }
    void columnsReadWhole()
    {
        QFETCH(int, sales);
        const QByteArray longsale = R"({"type":"addCA","fvalue":"1204.9","sparam":"VENDEUR-07","idExternal":)"
                                    R"("VENTE-2026-000123456","date":"2018-03-01 10:00:00"})";
        QByteArrayList events{points, longsale};
        for (int i = 1; i < sales; ++i)
            events.append(sale);
        Fixture f;
        f.showmember("{\"list\":[" + events.join(',') + "]}");
        f.historique_click();
        HistoryWindow& w = f.history();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.size(), QSize(505, 231));
        QTableView* grid = w.DBGrid1();
        QCOMPARE(grid->verticalScrollBar()->isVisible(), sales > 5);
        QCOMPARE(GridReading::cuttitles(grid), QStringList());
        QVERIFY(GridReading::fits(grid));
        const int date = f.historique().fieldindex(u"Date"_s);
        const int type = f.historique().fieldindex(u"Type"_s);
        const int comment = f.historique().fieldindex(u"Commentaire"_s);
        QCOMPARE(GridReading::cuttexts(grid, date) + GridReading::cuttexts(grid, type), QStringList());
        const QString whole = u"Code Vendeur : VENDEUR-07 N° vente : VENTE-2026-000123456"_s.left(50);
        QCOMPARE(GridReading::cuttexts(grid, comment), QStringList{whole});
        const QModelIndex cut = f.historique().index(0, comment);
        QCOMPARE(cut.data().toString(), whole);
        QCOMPARE(GridReading::tooltip(grid, cut), whole);
        w.close();
    }

    // However the window was opened (a click on "HISTORIQUE", F5) and closed (Escape, Enter, a
    // click on "Annuler"), the keyboard goes back to where the pharmacist was: the products grid
    // after a lookup, where a key typed starts a line. Every event goes through the window, as the
    // display delivers it.
    void keyboardComesBackWhenItCloses_data()
    {
        QTest::addColumn<bool>("click"); // false: F5
        QTest::addColumn<int>("close");  // a key, or 0: a click on "Annuler"
        QTest::newRow("click, Escape") << true << int(Qt::Key_Escape);
        QTest::newRow("click, Enter") << true << int(Qt::Key_Return);
        QTest::newRow("click, Annuler") << true << 0;
        QTest::newRow("F5, Escape") << false << int(Qt::Key_Escape);
    }
    void keyboardComesBackWhenItCloses()
    {
        QFETCH(bool, click);
        QFETCH(int, close);
        Fixture f;
        f.showmember("{\"list\":[" + sale + "," + points + "]}");
        CounterWindow& counter = f.counter();
        QVERIFY(QTest::qWaitForWindowActive(&counter));
        QCOMPARE(QApplication::focusWidget(), counter.dbgridproduits());
        const auto clickat = [](QWidget* widget) {
            QWidget* top = widget->window();
            QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                              widget->mapTo(top, widget->rect().center()));
        };
        if (click)
            clickat(counter.findChild<QToolButton*>(u"ToolButton3"_s));
        else
            QTest::keyClick(counter.windowHandle(), Qt::Key_F5);
        HistoryWindow& w = f.history();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        if (close)
            QTest::keyClick(w.windowHandle(), Qt::Key(close));
        else
            clickat(w.Button1());
        QVERIFY(!w.isVisible());

        QTRY_VERIFY(counter.isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), counter.dbgridproduits());
        QTest::keyClick(counter.windowHandle(), Qt::Key_A, Qt::NoModifier);
        QCOMPARE(counter.state().Produits().size(), 1);
    }

    // The window opens on its list, also after the keyboard was left on "Annuler", and Escape
    // closes it.
    void opensOnItsList()
    {
        Fixture f;
        f.showmember("{\"list\":[" + sale + "," + points + "]}");
        HistoryWindow& w = f.history();
        for (int opening = 0; opening < 2; ++opening) {
            f.historique_click();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTRY_COMPARE(QApplication::focusWidget(), w.DBGrid1());
            Person::press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w.Button1());
            Person::press(Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        }
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
