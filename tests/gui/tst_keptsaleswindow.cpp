#include "FixedClock.h"
#include "GridReading.h"
#include "Person.h"
#include "ScriptedDialogs.h"
#include "SmallDisk.h"

#include "outbox/KeptSales.h"
#include "outbox/KeptSalesWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {

const QDateTime t0(QDate(2026, 12, 1), QTime(9, 30, 0), Qt::UTC);

KeptSale sale(const QString& name, const QString& card, const QString& amount, const QString& seller,
              const QString& number)
{
    KeptSale sale;
    sale.memberid = number;
    sale.membername = name;
    sale.cardnumber = card;
    sale.amount = amount;
    sale.seller = seller;
    sale.number = number;
    sale.request = "json_data=" + number.toUtf8();
    return sale;
}

QString accessiblename(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// A kept sales file in a work folder (a temporary one unless told another), and the window on it,
// not yet shown.
class Fixture
{
public:
    explicit Fixture(const QString& folder = QString())
        : path(KeptSales::pathin(folder.isEmpty() ? m_dir.path() : folder)), store(path, m_clock),
          window(store, dialogs), list(window.listeventes()),
          supprimer(window.findChild<QPushButton*>(u"supprimer"_s)),
          fermer(window.findChild<QPushButton*>(u"fermer"_s)),
          erreurliste(window.findChild<QLabel*>(u"erreurliste"_s)),
          aucunevente(window.findChild<QLabel*>(u"aucunevente"_s))
    {
    }

    // DUPONT's, MARTIN's and O'CONNOR's sales, in that order.
    void keepthree()
    {
        store.keep(sale(u"DUPONT Jean"_s, u"1010001"_s, u"12,50"_s, u"07"_s, u"A-1"_s));
        // Kept an hour later, by the other counter sharing the folder.
        const FixedClock later(t0.addSecs(3605));
        KeptSales(path, later).keep(sale(u"MARTIN Zoé"_s, QString(), u"8,00"_s, u"VD"_s, u"A-2"_s));
        store.keep(sale(u"O'CONNOR Seán"_s, u"1010003"_s, u"1 204,90"_s, u"07"_s, u"A-3"_s));
    }

    // Opens the window as the counter does, but without waiting in it.
    bool open()
    {
        window.reload();
        window.show();
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }

    // The cells of every row, joined by "|".
    QStringList rows() const
    {
        QStringList out;
        for (int row = 0; row < list->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < list->columnCount(); ++column)
                cells.append(list->item(row, column)->text());
            out.append(cells.join(u'|'));
        }
        return out;
    }

    // The numbers of the sales left in the file, read by another counter.
    QStringList infile() const
    {
        QStringList numbers;
        KeptSales reader(path, m_clock);
        for (const KeptSale& kept : reader.list().value_or(std::vector<KeptSale>()))
            numbers.append(kept.number);
        return numbers;
    }

    int selected() const
    {
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }

private:
    QTemporaryDir m_dir;
    const FixedClock m_clock{t0};

public:
    const QString path;
    KeptSales store;
    ScriptedDialogs dialogs;
    KeptSalesWindow window;
    QTableWidget* const list;
    QPushButton* const supprimer;
    QPushButton* const fermer;
    QLabel* const erreurliste;
    QLabel* const aucunevente;
};

const QString dupont = u"DUPONT Jean (1010001)|12,50 €|07|A-1|01/12/2026 10:30:00|"_s;
const QString martin = u"MARTIN Zoé|8,00 €|VD|A-2|01/12/2026 11:30:05|"_s;
const QString oconnor = u"O'CONNOR Seán (1010003)|1 204,90 €|07|A-3|01/12/2026 10:30:00|"_s;

} // namespace

class TestKeptSalesWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Times are kept in UTC and shown in the counter's local time: Paris in winter, UTC + 1.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }

    // One row per sale in the order kept; a sale another counter is sending says so, a failure
    // shows on one line with its whole text as the tooltip.
    void showsTheSalesInOrder()
    {
        Fixture f;
        f.keepthree();
        const FixedClock clock(t0);
        KeptSales other(f.path, clock);
        QCOMPARE(other.claim().sale.number, u"A-1"_s);
        QCOMPARE(f.store.claim().sale.number, u"A-2"_s);
        const QString failure = u"Erreur de socket n° 111\r\nConnexion refusée."_s;
        QCOMPARE(f.store.release(2, failure, KeptSales::Departure::NotLeft), KeptSales::Status::Done);
        QVERIFY(f.open());

        QCOMPARE(f.window.objectName(), u"ventesenattente"_s);
        QCOMPARE(f.window.windowTitle(), u"Ventes en attente d'envoi"_s);
        QCOMPARE(f.window.size(), QSize(720, 300));
        QStringList headers;
        for (int column = 0; column < f.list->columnCount(); ++column)
            headers.append(f.list->horizontalHeaderItem(column)->text());
        QCOMPARE(headers, (QStringList{u"Client"_s, u"Montant"_s, u"Vendeur"_s, u"N° de vente"_s,
                                       u"Gardée le"_s, u"Dernier échec"_s}));
        QCOMPARE(f.rows(), (QStringList{dupont + u"Envoi en cours"_s,
                                        martin + u"Erreur de socket n° 111 Connexion refusée."_s, oconnor}));
        QCOMPARE(f.list->item(1, 5)->toolTip(), failure);
        QCOMPARE(GridReading::cuttitles(f.list), QStringList());
        QVERIFY(GridReading::fits(f.list));
        QCOMPARE(f.selected(), 0);
        QVERIFY(f.supprimer->isEnabled());
        QVERIFY(!f.erreurliste->isVisible());
        QVERIFY(!f.aucunevente->isVisible());
        QVERIFY(f.dialogs.shown().isEmpty());
    }

    // A long client's name and a long failure never push a column off the window: every title
    // reads whole, "Dernier échec" included; what is cut reads whole as its tooltip.
    void longTextsKeepEveryTitle()
    {
        Fixture f;
        f.keepthree();
        const QString name = u"DUPONTEL-LAGARDE DE LA FONTAINE Agnès-Marie Christine Éléonore"_s;
        f.store.keep(sale(name, u"1010005"_s, u"12 345,67"_s, u"VENDEUR-07"_s, u"VENTE-2026-000123456"_s));
        QCOMPARE(f.store.claim().sale.number, u"A-1"_s);
        const QString failure = u"La plateforme n'a pas répondu dans le délai : la connexion au serveur "
                                "a été coupée après l'envoi de la demande, elle sera essayée à nouveau."_s;
        QCOMPARE(f.store.release(1, failure, KeptSales::Departure::NotLeft), KeptSales::Status::Done);
        QVERIFY(f.open());
        QCOMPARE(GridReading::cuttitles(f.list), QStringList());
        QVERIFY(GridReading::fits(f.list));
        const QModelIndex client = f.list->model()->index(3, 0);
        QVERIFY(GridReading::cuttexts(f.list, 0).contains(name + u" (1010005)"_s));
        QCOMPARE(GridReading::tooltip(f.list, client), name + u" (1010005)"_s);
        // The failure's own tooltip, its whole text.
        QCOMPARE(GridReading::tooltip(f.list, f.list->model()->index(0, 5)), failure);
    }

    // Deleting asks first; only Yes takes the sale out of the file, and the next one is selected.
    void deleteAsksFirst_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Delete key on the list, Yes") << u"delete"_s << true;
        QTest::newRow("Delete key on the list, No") << u"delete"_s << false;
        QTest::newRow("Tab to Supprimer, Space") << u"space"_s << true;
        QTest::newRow("Tab to Supprimer, Enter") << u"enter"_s << true;
        QTest::newRow("Supprimer clicked, Yes") << u"click"_s << true;
        QTest::newRow("Supprimer clicked, No") << u"click"_s << false;
    }
    void deleteAsksFirst()
    {
        QFETCH(QString, how);
        QFETCH(bool, yes);
        Fixture f;
        f.keepthree();
        QSignalSpy changed(&f.window, &KeptSalesWindow::changed);
        QVERIFY(f.open());
        QCOMPARE(Person::focus(), f.list);
        Person::press(Qt::Key_Down);
        QCOMPARE(f.selected(), 1);

        f.dialogs.script({yes});
        if (how == u"delete"_s) {
            Person::press(Qt::Key_Delete);
        } else if (how == u"click"_s) {
            Person::click(f.supprimer);
        } else {
            Person::press(Qt::Key_Tab);
            QCOMPARE(Person::focus(), f.supprimer);
            Person::press(how == u"space"_s ? Qt::Key_Space : Qt::Key_Return);
        }
        QCOMPARE(f.dialogs.texts(), QStringList{u"Supprimer la vente de 8,00 € de MARTIN Zoé ? Elle ne sera "
                                                u"jamais envoyée et ses points ne seront pas crédités."_s});
        QCOMPARE(f.dialogs.shown().front().kind, u"question"_s);
        if (yes) {
            QCOMPARE(f.rows(), (QStringList{dupont, oconnor}));
            QCOMPARE(f.infile(), (QStringList{u"A-1"_s, u"A-3"_s}));
            QCOMPARE(changed.size(), 1);
        } else {
            QCOMPARE(f.rows(), (QStringList{dupont, martin, oconnor}));
            QCOMPARE(f.infile(), (QStringList{u"A-1"_s, u"A-2"_s, u"A-3"_s}));
            QCOMPARE(changed.size(), 0);
        }
        QCOMPARE(f.selected(), 1);
        QVERIFY(f.window.isVisible());
    }

    // A sale whose reply was lost may be on the platform already: the question says so.
    void questionOnASaleThatMayHaveLeft()
    {
        Fixture f;
        f.keepthree();
        QCOMPARE(f.store.claim().sale.number, u"A-1"_s);
        QCOMPARE(f.store.release(1, u"Le serveur a fermé la connexion sans répondre."_s,
                                 KeptSales::Departure::MayHaveLeft),
                 KeptSales::Status::Done);
        QVERIFY(f.open());
        f.dialogs.script({false});
        Person::press(Qt::Key_Delete);
        QCOMPARE(
            f.dialogs.texts(),
            QStringList{u"Supprimer la vente de 12,50 € de DUPONT Jean ? La plateforme l'a peut-être déjà "
                        u"reçue (sa réponse s'est perdue) : regardez l'historique du client avant de la "
                        u"supprimer. Supprimée, elle ne sera jamais envoyée."_s});
        QCOMPARE(f.infile(), (QStringList{u"A-1"_s, u"A-2"_s, u"A-3"_s}));
    }

    // From the last row up: the selection stays on the last row left, and the window says when
    // nothing is left.
    void deleteEveryRow()
    {
        Fixture f;
        f.keepthree();
        QSignalSpy changed(&f.window, &KeptSalesWindow::changed);
        QVERIFY(f.open());
        Person::press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(f.selected(), 2);
        Person::press(Qt::Key_Delete);
        QCOMPARE(f.rows(), (QStringList{dupont, martin}));
        QCOMPARE(f.selected(), 1);
        Person::press(Qt::Key_Delete);
        QCOMPARE(f.rows(), QStringList{dupont});
        QCOMPARE(f.selected(), 0);
        QVERIFY(!f.aucunevente->isVisible());
        Person::press(Qt::Key_Delete);
        QCOMPARE(f.rows(), QStringList());
        QCOMPARE(f.infile(), QStringList());
        QCOMPARE(changed.size(), 3);
        QCOMPARE(f.dialogs.shown().size(), 3);

        QVERIFY(f.aucunevente->isVisible());
        QCOMPARE(f.aucunevente->text(), u"Aucune vente en attente d'envoi."_s);
        QCOMPARE(accessiblename(f.aucunevente), f.aucunevente->text());
        QVERIFY(!f.supprimer->isEnabled());
        Person::press(Qt::Key_Delete);
        QCOMPARE(f.dialogs.shown().size(), 3);
    }

    // What the file says once the pharmacist said Yes: another counter is sending the sale, it has
    // been sent meanwhile, or the disk is full. The list shows the file as it now is.
    void removalNotDone_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("shown"); // after the question
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("another counter is sending it")
            << u"held"_s
            << QStringList{u"information: Cette vente est en cours d'envoi à la plateforme : elle ne peut "
                           u"pas "
                           u"être supprimée maintenant."_s}
            << QStringList{dupont + u"Envoi en cours"_s, martin, oconnor};
        QTest::newRow("sent by another counter")
            << u"sent"_s << QStringList() << QStringList{martin, oconnor};
        QTest::newRow("disk full")
            << u"full"_s
            << QStringList{u"exception: La vente en attente n'a pas pu être supprimée : Plus de place sur le "
                           u"disque."_s}
            << QStringList{dupont, martin, oconnor};
    }
    void removalNotDone()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, rows);
        SmallDisk small(512);
        if (meanwhile == u"full"_s && !small.ok())
            QSKIP(qPrintable(small.reason()));
        Fixture f(meanwhile == u"full"_s ? small.path() : QString());
        f.keepthree();
        const FixedClock clock(t0);
        KeptSales other(f.path, clock);
        QSignalSpy changed(&f.window, &KeptSalesWindow::changed);
        QVERIFY(f.open());
        QCOMPARE(f.rows(), (QStringList{dupont, martin, oconnor}));

        if (meanwhile == u"full"_s) {
            QVERIFY(small.fill());
        } else {
            QCOMPARE(other.claim().sale.number, u"A-1"_s);
            if (meanwhile == u"sent"_s)
                QCOMPARE(other.settle(1), KeptSales::Status::Done);
        }
        Person::press(Qt::Key_Delete);
        QStringList boxes;
        for (const ScriptedDialogs::Shown& box : f.dialogs.shown())
            boxes.append(box.kind + u": "_s + box.text);
        QVERIFY(boxes.value(0).startsWith(u"question: Supprimer la vente de 12,50 € de DUPONT Jean ?"_s));
        QCOMPARE(boxes.mid(1), shown);
        QCOMPARE(f.rows(), rows);
        QCOMPARE(f.selected(), 0);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(f.infile().size(), rows.size());
    }

    // A file that cannot be opened: an empty list and the reason in French; once the folder is
    // right again, reading it again clears the reason.
    void unreadableFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"travail"_s);
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Fixture f(folder);
        QVERIFY(f.open());

        const QString told = u"Le fichier des ventes en attente "_s + f.path +
                             u" ne s'ouvre pas : Un élément du chemin n'est pas un dossier."_s;
        QCOMPARE(f.list->rowCount(), 0);
        QVERIFY(f.erreurliste->isVisible());
        QCOMPARE(f.erreurliste->text(), told);
        QCOMPARE(accessiblename(f.erreurliste), told);
        QVERIFY(!f.aucunevente->isVisible());
        QVERIFY(!f.supprimer->isEnabled());
        Person::press(Qt::Key_Delete);
        QVERIFY(f.dialogs.shown().isEmpty());

        QVERIFY(file.remove());
        QVERIFY(QDir().mkpath(folder));
        f.window.reload();
        QVERIFY(!f.erreurliste->isVisible());
        QVERIFY(f.aucunevente->isVisible());
    }

    // Opened as the counter opens it: on its list; Tab goes round the list and both buttons, each
    // named for screen readers; every way out ends the wait, Enter on the list too (it never
    // deletes).
    void keyboardAndNames_data()
    {
        QTest::addColumn<QString>("close");
        QTest::newRow("Escape") << u"escape"_s;
        QTest::newRow("Enter on the list") << u"listenter"_s;
        QTest::newRow("Enter on Fermer") << u"enter"_s;
        QTest::newRow("Space on Fermer") << u"space"_s;
        QTest::newRow("Fermer clicked") << u"click"_s;
    }
    void keyboardAndNames()
    {
        QFETCH(QString, close);
        Fixture f;
        f.keepthree();
        for (int opening = 0; opening < 2; ++opening) {
            QStringList visited;
            Person::whenshown(&f.window, [&] {
                // Shown and modal is not yet active: the keyboard comes with activation.
                if (!QTest::qWaitForWindowActive(&f.window))
                    visited.append(u"(pas active)"_s);
                const auto focusname = [] {
                    return Person::focus() ? Person::focus()->objectName() : u"(rien)"_s;
                };
                visited.append(focusname());
                for (int tab = 0; tab < 3; ++tab) {
                    Person::press(Qt::Key_Tab);
                    visited.append(focusname());
                }
                if (close == u"escape"_s || close == u"listenter"_s) {
                    Person::press(close == u"escape"_s ? Qt::Key_Escape : Qt::Key_Return);
                } else if (close == u"click"_s) {
                    Person::click(f.fermer);
                } else {
                    Person::press(Qt::Key_Tab);
                    Person::press(Qt::Key_Tab);
                    Person::press(close == u"enter"_s ? Qt::Key_Return : Qt::Key_Space);
                }
                // Left open by a fault: the test goes on, and fails below.
                if (f.window.isVisible())
                    f.window.done(-1);
            });
            f.window.reload();
            QCOMPARE(f.window.exec(), int(QDialog::Rejected));
            QCOMPARE(visited, (QStringList{u"listeventes"_s, u"supprimer"_s, u"fermer"_s, u"listeventes"_s}));
            QVERIFY(f.dialogs.shown().isEmpty());
            QCOMPARE(f.rows().size(), 3);
        }
        QCOMPARE(accessiblename(f.list), u"Ventes en attente d'envoi"_s);
        QCOMPARE(accessiblename(f.supprimer), u"Supprimer"_s);
        QCOMPARE(accessiblename(f.fermer), u"Fermer"_s);
    }
};

QTEST_MAIN(TestKeptSalesWindow)
#include "tst_keptsaleswindow.moc"
