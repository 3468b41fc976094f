#include "CounterRig.h"
#include "GridReading.h"
#include "Person.h"
#include "ProductLines.h"
#include "RecordingReportOutput.h"

#include "api/HttpClient.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/SaleLines.h"
#include "data/MemoryTable.h"
#include "members/MemberChoiceDialog.h"
#include "report/ReportLayout.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CaptureServer::Reply)

namespace {

const QString head = u"json_data={ \"FidelityMember\":{\"actif\":\"1\",\"group\":{\"idExternal\":\"42\" },"_s;

QByteArray memberreply(const QByteArray& extra = {})
{
    return "{\"FidelityMember\":{\"id\":7,\"cardnumber\":\"1010001\",\"name\":\"DUPONT\",\"firstname\":"
           "\"Marie\","
           "\"gender\":\"MME\",\"birthday\":\"1980-12-25\",\"email\":\"marie.dupont@example.fr\","
           "\"emailoptin\":true,"
           "\"mobile\":\"0612345678\",\"smsoptin\":false,\"tel\":\"0478000001\","
           "\"address\":{\"line1\":\"12 rue de la "
           "R\xC3\xA9publique\",\"line2\":\"\",\"zip\":\"69002\",\"town\":\"Lyon\"},"
           "\"criteria\":{\"cn1\":1,\"cn2\":0,\"cn3\":0,\"cn4\":1,\"cn5\":0},\"children\":\"\",\"nbPoint\":"
           "110,"
           "\"dateUpdate\":\"2026-11-30 10:20:30\",\"actif\":true,\"group\":{\"idExternal\":\"42\"},"
           "\"event\":{\"list\":[{\"type\":\"addCA\",\"fvalue\":\"110\",\"date\":\"2026-11-30 10:20:30\"}]}" +
           extra + "}}";
}

// A second member, without last sale, address or contacts.
QByteArray bareMember(const QByteArray& id, const QByteArray& card, const QByteArray& name)
{
    return "{\"FidelityMember\":{\"id\":" + id + ",\"cardnumber\":\"" + card + "\",\"name\":\"" + name +
           "\",\"firstname\":\"Jean\",\"nbPoint\":3,\"event\":\"\"}}";
}

// The counter window on a capture server, without the coupon query unless told otherwise.
class Counter final : public CounterRig
{
public:
    explicit Counter(const QStringList& switches = {u"-nocoupon"_s}) : CounterRig(switches) {}

    // A member shown by a lookup of its card number.
    void showmember()
    {
        server.enqueue(CaptureServer::ok(memberreply()));
        search(u"1010001"_s);
    }
};

QStringList gridcolumn(const QTableView* grid, int column)
{
    QStringList out;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        out.append(grid->model()->index(row, column).data().toString());
    return out;
}

} // namespace

class TestCounterWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QFont::insertSubstitution(u"Calibri"_s, u"Carlito"_s);
        QFont::insertSubstitution(u"Tahoma"_s, u"DejaVu Sans"_s);
    }

    void screenLayout()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        QCOMPARE(w.windowTitle(), u"Quilba v1.4"_s);
        QCOMPARE(w.size(), QSize(557, 380));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        // From top to bottom: toolbar, search, member band, products, bottom bar.
        const std::pair<const char*, QRect> areas[] = {
            {"ToolBar1", {0, 0, 557, 26}},         {"panelsearch", {0, 26, 557, 41}},
            {"panelmember", {0, 67, 557, 176}},    {"panelencours", {321, 67, 236, 176}},
            {"panelproduits", {0, 243, 557, 104}}, {"panelbas", {0, 347, 557, 33}},
            {"btglyphsearch", {-1, -1, 23, 22}},   {"btglyphrefresh", {-1, -1, 30, 29}},
            {"listecoupons", {-1, -1, 217, 55}},   {"dbgridproduits", {-1, -1, 346, 102}},
            {"search", {-1, -1, 249, -1}},         {"edvendeur", {-1, -1, 64, -1}},
            {"ednumvente", {-1, -1, 64, -1}},      {"addpoint", {-1, -1, 64, -1}},
        };
        for (const auto& [name, expected] : areas) {
            const QWidget* widget = counter.get<QWidget>(name);
            QVERIFY2(widget, name);
            const QRect actual(widget->mapTo(&w, QPoint(0, 0)), widget->size());
            if (expected.x() >= 0)
                QCOMPARE(actual.topLeft(), expected.topLeft());
            QCOMPARE(actual.width(), expected.width());
            if (expected.height() >= 0)
                QCOMPARE(actual.height(), expected.height());
        }
        QStringList captions;
        for (const char* name : {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton6", "ToolButton5"}) {
            captions << counter.get<QToolButton>(name)->text();
            QCOMPARE(counter.get<QToolButton>(name)->width(), 76);
        }
        // ADELYA and PARAMETRES show the letter that Alt takes underlined.
        QCOMPARE(captions, (QStringList{u"ADHESION"_s, u"MODIFICATION"_s, u"HISTORIQUE"_s, u"&ADELYA"_s,
                                        u"&PARAMETRES"_s}));
        QCOMPARE(counter.get<QToolBar>("ToolBar1")->grab().toImage().pixelColor(2, 2), QColor(41, 103, 22));
        QCOMPARE(w.listecoupons()->rowCount(), 2);
        QCOMPARE(w.listecoupons()->columnCount(), 7);
        QCOMPARE(w.listecoupons()->toolTip(), u"info d'aide"_s);
        QCOMPARE(gridcolumn(w.dbgridproduits(), 0).size(), 0);
        QStringList titles;
        for (int column = 0; column < w.dbgridproduits()->model()->columnCount(); ++column)
            titles << w.dbgridproduits()->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(titles, (QStringList{u"Code Produit"_s, u"Quantité"_s, u"Prix Unitaire"_s, u"Total"_s}));
        for (const char* name : {"btsearch", "btglyphsearch", "btglyphrefresh", "btnprintpoints", "add10pts",
                                 "SpeedButton2", "btnadd"})
            QVERIFY2(!counter.get<QToolButton>(name)->icon().isNull(), name);
    }

    // The control states of the Start, Idle and Member shown states.
    void stateTable_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("refreshpicture");
        QTest::addColumn<bool>("products");
        QTest::addColumn<bool>("coupons");
        QTest::addColumn<bool>("amount");
        QTest::addColumn<bool>("validate");
        QTest::addColumn<bool>("tenpoints");
        QTest::addColumn<bool>("ticket");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<bool>("idle");
        QTest::addColumn<QString>("focus");
        QTest::newRow("start") << u"start"_s << u"Chercher"_s << false << false << false << false << true
                               << true << true << false << true << u"search"_s;
        // The first change of the search text disables the two sale buttons, without a reset.
        QTest::newRow("start, one character typed")
            << u"typed"_s << u"Chercher"_s << false << false << false << false << false << false << true
            << false << true << u"search"_s;
        QTest::newRow("idle") << u"idle"_s << u"Rechercher"_s << false << false << false << true << false
                              << false << false << false << true << u"search"_s;
        QTest::newRow("member shown") << u"member"_s << u"Actualiser"_s << true << true << true << true
                                      << true << true << true << true << false << u"dbgridproduits"_s;
        QTest::newRow("member, then search edited")
            << u"edited"_s << u"Rechercher"_s << false << false << false << true << false << false << false
            << false << true << u"search"_s;
    }
    void stateTable()
    {
        QFETCH(QString, state);
        Counter counter;
        CounterWindow& w = *counter.window;
        if (state == u"typed"_s) {
            Person::type(u"D"_s);
        } else if (state == u"idle"_s) {
            Person::click(counter.get<QToolButton>("SpeedButton2"));
        } else if (state == u"member"_s) {
            counter.showmember();
        } else if (state == u"edited"_s) {
            counter.showmember();
            Person::click(w.search());
            Person::press(Qt::Key_End);
            Person::press(Qt::Key_Backspace);
        }
        QVERIFY(counter.dialogs.texts().isEmpty());

        QTEST(w.btsearch()->text(), "caption");
        QFETCH(bool, refreshpicture);
        const QToolButton* holder =
            counter.get<QToolButton>(refreshpicture ? "btglyphrefresh" : "btglyphsearch");
        QCOMPARE(w.btsearch()->icon().cacheKey(), holder->icon().cacheKey());
        QTEST(w.dbgridproduits()->isEnabled(), "products");
        QTEST(w.listecoupons()->isEnabled(), "coupons");
        QTEST(w.addpoint()->isEnabled(), "amount");
        QTEST(w.btnadd()->isEnabled(), "validate");
        QTEST(w.add10pts()->isEnabled(), "tenpoints");
        QTEST(w.btnprintpoints()->isEnabled(), "ticket");
        QFETCH(bool, filled);
        for (const char* name :
             {"lblnom", "lbladresse", "lblmail", "lblmobile", "lblfixe", "encours", "lbldernvente"})
            QVERIFY2(counter.label(name)->text().isEmpty() != filled, name);
        QTEST(w.state().idle(), "idle");
        QTEST(w.focusWidget()->objectName(), "focus");
        // The picture holders are never enabled.
        QVERIFY(!counter.get<QToolButton>("btglyphsearch")->isEnabled());
        QVERIFY(!counter.get<QToolButton>("btglyphrefresh")->isEnabled());
    }

    void memberReplyFillsEveryLabel()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.server.enqueue(CaptureServer::ok(memberreply()));
        // A scanned card: characters 6 to 12 are the card number.
        counter.search(u"3300010100016"_s);

        QCOMPARE(counter.requestlines(), QStringList{head + u"\"cardnumber\":\"1010001\"}}"_s});
        QCOMPARE(CaptureServer::bodyof(counter.server.requests().front()),
                 HttpClient::formencode(head + u"\"cardnumber\":\"1010001\"}}"_s));
        QVERIFY(counter.dialogs.texts().isEmpty());
        QCOMPARE(w.search()->text(), u"1010001"_s);
        QCOMPARE(w.lblnom()->text(), u"MME Marie DUPONT"_s);
        QCOMPARE(counter.label("lbladresse")->text(), u"12 rue de la République 69002 Lyon"_s);
        QCOMPARE(counter.label("lblmail")->text(), u"marie.dupont@example.fr"_s);
        QCOMPARE(counter.label("lblmobile")->text(), u"0612345678"_s);
        QCOMPARE(counter.label("lblfixe")->text(), u"0478000001"_s);
        QCOMPARE(counter.label("lbldernvente")->text(), u"30/11/2026"_s);
        QCOMPARE(w.encours()->text(), u"110"_s);
        QCOMPARE(w.state().currentmemberid(), u"7"_s);
        QCOMPARE(w.state().member().Getcardnumber(), u"1010001"_s);
        QCOMPARE(w.state().member().Getdatenaissance(), u"25121980"_s);
        QVERIFY(w.state().eventlist().has_value());
        QCOMPARE(w.state().eventlist()->tojson(),
                 QByteArray(R"({"list":[{"type":"addCA","fvalue":"110","date":"2026-11-30 10:20:30"}]})"));
        QVERIFY(!w.state().idle());
    }

    // A member with eleven children is served: the ten first are loaded, the user is told once,
    // and a refresh (Actualiser) does not tell again.
    void memberWithElevenChildren()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        QByteArrayList children;
        for (int i = 1; i <= 11; ++i)
            children.append("{\"id\":\"c" + QByteArray::number(i) + "\",\"firstname\":\"E" +
                            QByteArray::number(i) + "\",\"sex\":\"M\"}");
        QByteArray reply = memberreply();
        reply.replace("\"children\":\"\"", QByteArray("\"children\":[" + children.join(',') + "]"));
        counter.server.enqueue(CaptureServer::ok(reply));
        counter.search(u"1010001"_s);
        const QStringList told{
            u"Ce membre a 11 enfants : seuls les 10 premiers sont affichés et peuvent être modifiés ; les "
            "autres restent inchangés sur la plateforme."_s};
        QCOMPARE(counter.dialogs.texts(), told);
        QCOMPARE(w.lblnom()->text(), u"MME Marie DUPONT"_s);
        QCOMPARE(w.encours()->text(), u"110"_s);
        QVERIFY(!w.state().idle());
        QVERIFY(w.btnadd()->isEnabled());
        QCOMPARE(w.state().member().Getnbenfants(), 10);
        QCOMPARE(w.state().member().prnenfant(10), u"E10"_s);

        counter.server.enqueue(CaptureServer::ok(reply));
        Person::click(w.btsearch());
        QCOMPARE(counter.server.requests().size(), 2);
        QCOMPARE(counter.dialogs.texts(), told);
        QVERIFY(!w.state().idle());
    }

    // Labels a reply does not fill keep their text; the rest of the member is loaded over them.
    void replyWithoutSomeKeys_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("lastsale");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("event");
        const QByteArray start =
            R"({"FidelityMember":{"id":7,"cardnumber":"1010001","name":"DUPONT","nbPoint":120)";
        QTest::newRow("no dateUpdate")
            << start + R"(,"address":{"line1":"3 quai","zip":"69001","town":"Lyon"}}})" << u"30/11/2026"_s
            << u"3 quai 69001 Lyon"_s << false;
        QTest::newRow("no address") << start + R"(,"dateUpdate":"2026-12-01 09:00:00","event":""}})"
                                    << u"01/12/2026"_s << u"12 rue de la République 69002 Lyon"_s << true;
        QTest::newRow("address without line1")
            << start + R"(,"address":{"zip":"69001","town":"Lyon"}}})" << u"30/11/2026"_s
            << u"12 rue de la République 69002 Lyon"_s << false;
    }
    void replyWithoutSomeKeys()
    {
        QFETCH(QByteArray, reply);
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.showmember();
        counter.server.enqueue(CaptureServer::ok(reply));
        Person::click(w.btsearch());

        QCOMPARE(counter.server.requests().size(), 2);
        QVERIFY(counter.dialogs.texts().isEmpty());
        QCOMPARE(w.encours()->text(), u"120"_s);
        QTEST(counter.label("lbldernvente")->text(), "lastsale");
        QTEST(counter.label("lbladresse")->text(), "address");
        // The record is loaded anew: the first name the reply lacks is gone from it and the name label.
        QCOMPARE(w.state().member().Getprenom(), QString());
        QCOMPARE(w.lblnom()->text(), u"  DUPONT"_s);
        QTEST(w.state().eventlist().has_value(), "event");
    }

    // A list of three, in surname then first-name order, one chosen; it is then looked up by its id.
    void listChosen_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter") << u"enter"_s;
        QTest::newRow("Valider") << u"valider"_s;
        QTest::newRow("double click") << u"double"_s;
    }
    void listChosen()
    {
        QFETCH(QString, how);
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.server.enqueue(CaptureServer::ok(
            R"({"list":[{"id":31,"cardnumber":"1010002","name":"DUPONT","firstname":"Marie","nbPoint":12,)"
            R"("address":{"line1":"1 rue A","zip":"69001","town":"Lyon"}},)"
            R"({"id":32,"cardnumber":"1010005","name":"DUPONTEL","firstname":"Agnès","nbPoint":40},)"
            R"({"id":33,"cardnumber":"1010003","name":"DUPONT","firstname":"Jean","nbPoint":0}]})"));
        counter.server.enqueue(CaptureServer::ok(bareMember("31", "1010002", "DUPONT")));

        QStringList names;
        QStringList firstnames;
        bool idhidden = false;
        QString title;
        int firstrow = -1;
        Person::whenmodal([&](QDialog* dialog) {
            title = dialog->windowTitle();
            auto* grid = dialog->findChild<QTableView*>(u"DBGrid1"_s);
            names = gridcolumn(grid, 2);
            firstnames = gridcolumn(grid, 3);
            idhidden = grid->isColumnHidden(0);
            firstrow = grid->currentIndex().row();
            Person::press(Qt::Key_Down);
            if (how == u"enter"_s) {
                Person::press(Qt::Key_Return);
            } else if (how == u"valider"_s) {
                Person::click(dialog->findChild<QPushButton*>(u"btnchoisir"_s));
            } else {
                const QRect cell = grid->visualRect(grid->currentIndex());
                // A double click is a press and release, then the double click itself.
                Person::doubleclick(grid->viewport(), cell.center());
            }
            if (dialog->isVisible())
                dialog->reject();
        });
        counter.search(u"DUPONT"_s);

        QCOMPARE(title, u"Choix Membre :"_s);
        QCOMPARE(firstrow, 0);
        QCOMPARE(names, (QStringList{u"DUPONT"_s, u"DUPONT"_s, u"DUPONTEL"_s}));
        QCOMPARE(firstnames, (QStringList{u"Jean"_s, u"Marie"_s, u"Agnès"_s}));
        QVERIFY(idhidden);
        QCOMPARE(counter.requestlines(),
                 (QStringList{head + u"\"name_starts_with\":\"DUPONT\"}}"_s, head + u"\"id\":\"31\"}}"_s}));
        QVERIFY(counter.dialogs.texts().isEmpty());
        QCOMPARE(w.search()->text(), u"1010002"_s);
        QCOMPARE(w.state().currentmemberid(), u"31"_s);
        QCOMPARE(w.btsearch()->text(), u"Actualiser"_s);
        QCOMPARE(counter.listeMembre().rowCount(), 0);
        QVERIFY(!counter.choice->isVisible());
    }

    // Homonyms can be told apart: every column of the choice shows within the dialog, its title
    // whole, and the card numbers, postcodes and points whole; a long address or town is cut and
    // reads whole as its tooltip.
    void listReadsWhole()
    {
        Counter counter;
        counter.server.enqueue(CaptureServer::ok(
            R"({"list":[{"id":31,"cardnumber":"1010002","name":"DUPONT","firstname":"Jean-Christophe","nbPoint":1250,)"
            R"("address":{"line1":"3 avenue des Champs-Elysees","zip":"75008","town":"Saint-Martin-en-Haut-sur-Loire"}},)"
            R"({"id":32,"cardnumber":"1010005","name":"DUPONTEL","firstname":"Agnès","nbPoint":40},)"
            R"({"id":33,"cardnumber":"1010003","name":"DUPONT","firstname":"Jean","nbPoint":0,)"
            R"("address":{"line1":"1 rue A","zip":"69001","town":"Lyon"}}]})"));
        QStringList titles{u"?"_s};
        bool fits = false;
        QStringList whole{u"?"_s};
        QString address;
        QString titletip{u"?"_s};
        Person::whenmodal([&](QDialog* dialog) {
            auto* grid = dialog->findChild<QTableView*>(u"DBGrid1"_s);
            QCOMPARE(dialog->size(), QSize(505, 169));
            titles = GridReading::cuttitles(grid);
            fits = GridReading::fits(grid);
            whole.clear();
            for (int column : {1, 5, 7})
                whole += GridReading::cuttexts(grid, column);
            // Jean-Christophe's, second in surname then first-name order.
            const QModelIndex cut = grid->model()->index(1, 4);
            if (GridReading::cuttexts(grid, 4).contains(cut.data().toString()))
                address = GridReading::tooltip(grid, cut);
            titletip = GridReading::titletooltip(grid, 7);
            dialog->reject();
        });
        counter.search(u"DUPONT"_s);
        QCOMPARE(titles, QStringList());
        QVERIFY(fits);
        QCOMPARE(whole, QStringList());
        QCOMPARE(address, u"3 avenue des Champs-Elysees"_s.left(30));
        QCOMPARE(titletip, QString());
    }

    // Leaving the dialog without a choice empties the search field and sends nothing more.
    void listLeftWithoutChoice_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("how");
        const QByteArray two = R"({"list":[{"id":1,"name":"DUPONT"},{"id":2,"name":"DURAND"}]})";
        QTest::newRow("Annuler") << two << u"annuler"_s;
        QTest::newRow("Escape") << two << u"escape"_s;
        QTest::newRow("close box") << two << u"close"_s;
        // An empty list has no member to take: Valider leaves as Annuler does.
        QTest::newRow("Valider on an empty list") << QByteArray(R"({"list":[]})") << u"valider"_s;
    }
    void listLeftWithoutChoice()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, how);
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.server.enqueue(CaptureServer::ok(reply));
        Person::whenmodal([&](QDialog* dialog) {
            if (how == u"annuler"_s)
                Person::click(dialog->findChild<QPushButton*>(u"btnannuler"_s));
            else if (how == u"escape"_s)
                Person::press(Qt::Key_Escape);
            else if (how == u"close"_s)
                dialog->close();
            else
                Person::click(dialog->findChild<QPushButton*>(u"btnchoisir"_s));
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
        counter.search(u"DU*"_s);

        QCOMPARE(counter.server.requests().size(), 1);
        QCOMPARE(w.search()->text(), QString());
        QCOMPARE(counter.listeMembre().rowCount(), 0);
        QVERIFY(counter.dialogs.texts().isEmpty());
        QVERIFY(w.state().idle());
    }

    // A lookup that fails leaves the window as it was; only the coupon cells were emptied.
    void failedLookupKeepsTheWindow_data()
    {
        QTest::addColumn<CaptureServer::Reply>("reply");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("unknown client")
            << CaptureServer::ok(
                   R"({"ApiReturn":{"code":"KO","message":"","errorCode":3008,"errorMessage":"?"}})")
            << QStringList{u"information"_s} << QStringList{u"Client inconnu"_s};
        QTest::newRow("other refusal")
            << CaptureServer::ok(
                   "{\"ApiReturn\":{\"code\":\"KO\",\"errorCode\":\"12\",\"errorMessage\":\"Groupe "
                   "refus\xC3\xA9\"}}")
            << QStringList{u"information"_s} << QStringList{u"Erreur :12 Groupe refusé"_s};
        QTest::newRow("status 500")
            << CaptureServer::status("HTTP/1.1 500 Internal Server Error", "panne")
            << QStringList{u"information"_s, u"information"_s}
            << QStringList{
                   u"HTTP/1.1 500 Internal Server Error panne "_s,
                   u"Erreur Accés Serveur Gestionnaire Fidélité : 500 HTTP/1.1 500 Internal Server Error"_s};
        QTest::newRow("not JSON") << CaptureServer::ok("<html>maintenance</html>")
                                  << QStringList{u"exception"_s}
                                  << QStringList{u"La réponse du serveur de fidélité n'est pas lisible : la "
                                                 u"recherche est abandonnée."_s};
        QTest::newRow("member without points")
            << CaptureServer::ok(R"({"FidelityMember":{"id":7,"cardnumber":"1010001"}})")
            << QStringList{u"exception"_s} << QStringList{u"Valeur 'nbPoint' introuvable"_s};
        QTest::newRow("another first member")
            << CaptureServer::ok(R"({"Sent":{"id":1}})") << QStringList() << QStringList();
    }
    void failedLookupKeepsTheWindow()
    {
        QFETCH(CaptureServer::Reply, reply);
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.showmember();
        w.listecoupons()->item(0, 1)->setText(u"Coupon 7.5 €"_s);
        w.addpoint()->setText(u"12,5"_s);

        counter.server.enqueue(reply);
        Person::click(w.btsearch());

        QStringList kinds;
        for (const ScriptedDialogs::Shown& shown : counter.dialogs.shown())
            kinds << shown.kind;
        QTEST(kinds, "kinds");
        QTEST(counter.dialogs.texts(), "texts");
        QVERIFY(!w.state().idle());
        QCOMPARE(w.btsearch()->text(), u"Actualiser"_s);
        QCOMPARE(w.lblnom()->text(), u"MME Marie DUPONT"_s);
        QCOMPARE(w.state().currentmemberid(), u"7"_s);
        QCOMPARE(w.addpoint()->text(), u"12,5"_s);
        QCOMPARE(w.listecoupons()->item(0, 1)->text(), QString());
        QCOMPARE(w.listecoupons()->rowCount(), 2);
    }

    // Behind the proxy, a refused password: the pharmacist reads first, in French, that the proxy
    // turned it away, never the proxy's English page; the status box follows.
    void proxyRefusedPasswordIsSaidInFrench()
    {
        Counter counter;
        counter.window->context().client.client().setproxy(
            {u"127.0.0.1"_s, counter.server.port(), u"PROXYUS"_s, u"abcd1234"_s});
        counter.server.enqueue(CaptureServer::status(
            "HTTP/1.1 407 Proxy Authentication Required",
            "<html><head><title>ERROR: Cache Access Denied</title></head><body><p>Sorry, you are not "
            "currently allowed to request this page.</p></body></html>",
            "Server: squid/5.7\r\nContent-Type: text/html\r\nX-Squid-Error: ERR_CACHE_ACCESS_DENIED 0\r\n"));
        counter.search(u"1010001"_s);
        QCOMPARE(
            counter.dialogs.texts(),
            (QStringList{u"Le proxy a refusé son mot de passe (HTTP 407) : la demande n'a pas atteint la "
                         "plateforme."_s,
                         u"Erreur Accés Serveur Gestionnaire Fidélité : 407 HTTP/1.1 407 Proxy "
                         "Authentication Required"_s}));
        QVERIFY(counter.window->state().idle());
    }

    void transportFailureIsOneErrorBox()
    {
        Counter counter;
        counter.server.enqueue(CaptureServer::closed());
        counter.search(u"1010001"_s);
        QCOMPARE(counter.dialogs.shown().size(), 1);
        QCOMPARE(counter.dialogs.shown().front().kind, u"exception"_s);
        QVERIFY(!counter.dialogs.shown().front().text.isEmpty());
        // The request line went to the reply buffer before sending; the failed post left it there.
        QVERIFY(counter.buffer().text().endsWith(head + u"\"cardnumber\":\"1010001\"}}"_s));
        QVERIFY(counter.window->state().idle());
    }

    void searchTextRules()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        // Enter in an empty field: nothing.
        Person::press(Qt::Key_Return);
        Person::click(w.btsearch());
        QVERIFY(counter.dialogs.texts().isEmpty());
        counter.search(u"DU"_s);
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Vous devez saisir plus de caracères"_s});
        QCOMPARE(counter.server.requests().size(), 0);
    }

    void clientSuivant_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<bool>("reset");
        const QStringList asked{u"Annuler la saisie en cours"_s};
        QTest::newRow("no amount: no question") << QString() << QList<bool>() << QStringList() << true;
        QTest::newRow("amount, Yes") << u"0"_s << QList<bool>{true} << asked << true;
        QTest::newRow("amount, No") << u"25,8"_s << QList<bool>{false} << asked << false;
    }
    void clientSuivant()
    {
        QFETCH(QString, amount);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, reset);
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.showmember();
        QVERIFY(storeLines(w.state().Produits(), {{u"A100"_s, 2, 4.5, 9.0}}));
        w.addpoint()->setText(amount);
        w.edvendeur()->setText(u"AB"_s);
        w.ednumvente()->setText(u"V12"_s);
        w.listecoupons()->item(1, 1)->setText(u"Coupon 20 €"_s);
        counter.dialogs.script(answers);

        Person::click(counter.get<QToolButton>("SpeedButton2"));

        QTEST(counter.dialogs.texts(), "questions");
        if (!reset) {
            QCOMPARE(w.lblnom()->text(), u"MME Marie DUPONT"_s);
            QCOMPARE(w.addpoint()->text(), amount);
            QCOMPARE(w.search()->text(), u"1010001"_s);
            QCOMPARE(w.state().Produits().size(), 1);
            QVERIFY(!w.state().idle());
            return;
        }
        QCOMPARE(w.search()->text(), QString());
        QCOMPARE(w.focusWidget(), w.search());
        QVERIFY(w.state().idle());
        QCOMPARE(w.lblnom()->text(), QString());
        QCOMPARE(w.addpoint()->text(), QString());
        QCOMPARE(w.edvendeur()->text(), u"AB"_s);
        QCOMPARE(w.ednumvente()->text(), QString());
        QCOMPARE(w.state().Produits().size(), 0);
        QCOMPARE(w.state().member().Getcardnumber(), QString());
        // The reset keeps the member id; only the next lookup replaces it.
        QCOMPARE(w.state().currentmemberid(), u"7"_s);
        QCOMPARE(w.listecoupons()->rowCount(), 2);
        QCOMPARE(w.listecoupons()->item(1, 1)->text(), QString());
        QVERIFY(!w.listecoupons()->isEnabled());
    }

    // "Actualiser" with the card number still in the field does not reset: the sale entry stays.
    void refreshKeepsTheSaleEntry()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        counter.showmember();
        QVERIFY(storeLines(w.state().Produits(), {{u"A100"_s, 2, 4.5, 9.0}}));
        w.addpoint()->setText(u"25,8"_s);
        w.edvendeur()->setText(u"AB"_s);
        w.ednumvente()->setText(u"V12"_s);
        counter.server.enqueue(
            CaptureServer::ok(memberreply().replace("\"nbPoint\":110", "\"nbPoint\":135")));
        Person::click(w.btsearch());

        QCOMPARE(counter.requestlines().last(), head + u"\"cardnumber\":\"1010001\"}}"_s);
        QCOMPARE(w.encours()->text(), u"135"_s);
        QCOMPARE(w.addpoint()->text(), u"25,8"_s);
        QCOMPARE(w.edvendeur()->text(), u"AB"_s);
        QCOMPARE(w.ednumvente()->text(), u"V12"_s);
        QCOMPARE(w.state().Produits().size(), 1);
    }

    void couponQueryFollowsAMemberShown_data()
    {
        QTest::addColumn<QStringList>("switches");
        QTest::addColumn<int>("queries");
        QTest::newRow("coupons asked") << QStringList() << 1;
        QTest::newRow("nocoupon") << QStringList{u"/NOCOUPON"_s} << 0;
    }
    void couponQueryFollowsAMemberShown()
    {
        QFETCH(QStringList, switches);
        Counter counter(switches);
        CounterWindow& w = *counter.window;
        // The window as each request reaches the server: the coupon query is the second.
        QList<bool> shown;
        QObject::connect(&counter.server, &CaptureServer::requestreceived, &counter.server,
                         [&] { shown.append(!w.state().idle() && w.btsearch()->text() == u"Actualiser"_s); });
        counter.showmember();
        const int queries = int(shown.size()) - 1;
        QTEST(queries, "queries");
        if (queries > 0) {
            QVERIFY(counter.requestlines().last().contains(u"\"type\":\"COUPON\""_s));
            QVERIFY(shown.last());
        }
    }

    // The coupon query's failures are told as the lookup's own.
    void couponQueryFailureIsTold()
    {
        Counter counter{QStringList()};
        counter.server.enqueue(CaptureServer::ok(memberreply()));
        counter.server.enqueue(CaptureServer::status("HTTP/1.1 503 Service Unavailable", "occup\xC3\xA9"));
        counter.search(u"1010001"_s);
        QCOMPARE(counter.requestlines().size(), 2);
        QCOMPARE(
            counter.dialogs.texts(),
            (QStringList{
                u"HTTP/1.1 503 Service Unavailable occupé "_s,
                u"Erreur Accés Serveur Gestionnaire Fidélité : 503 HTTP/1.1 503 Service Unavailable"_s}));
        QVERIFY(!counter.window->state().idle());
    }

    // The points ticket carries the member as shown and the points as `encours` shows them; before
    // any member is shown the button is enabled and the ticket prints with empty texts.
    void pointsTicketOfTheMemberShown_data()
    {
        QTest::addColumn<bool>("member");
        QTest::addColumn<QString>("bearer");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QStringList>("greeting");
        QTest::newRow("member shown")
            << true << u"MME Marie DUPONT"_s << u"1010001"_s
            << QStringList{u"Bonjour Marie DUPONT,"_s, QString(),
                           u"Au 1 décembre 2026 vous avez 110 points sur votre Quilba !"_s};
        QTest::newRow("before any member")
            << false << QString() << QString()
            << QStringList{u"Bonjour  ,"_s, QString(),
                           u"Au 1 décembre 2026 vous avez  points sur votre Quilba !"_s};
    }
    void pointsTicketOfTheMemberShown()
    {
        QFETCH(bool, member);
        Counter counter;
        RecordingReportOutput output;
        counter.window->setreportoutput(&output);
        if (member)
            counter.showmember();
        QVERIFY(counter.window->btnprintpoints()->isEnabled());

        // Twice: every print starts again from the saved header.
        for (int print = 1; print <= 2; ++print) {
            Person::click(counter.window->btnprintpoints());
            QCOMPARE(output.printed().size(), print);
            const ReportLayout& ticket = output.printed().last();
            QCOMPARE(ticket.name(), u"reppoints"_s);
            QTEST(ticket.text(u"porteur"_s), "bearer");
            QTEST(ticket.text(u"cardnumber"_s), "card");
            QTEST(ticket.text(u"entete"_s).split(u'\n').mid(0, 3), "greeting");
        }
        QVERIFY(counter.dialogs.texts().isEmpty());
    }

    void adelyaOpensTheOperatorPage()
    {
        Counter counter;
        Person::click(counter.get<QToolButton>("ToolButton6"));
        QCOMPARE(counter.shell.urls(),
                 QList<QUrl>{QUrl(u"http://127.0.0.1:%1/loyaltyoperator/login.jsp?rcg=QUILBA"_s.arg(
                     counter.server.port()))});
    }

    void modificationAndHistoryOnlyWithAMember()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        QSignalSpy modification(&w, &CounterWindow::modificationrequested);
        QSignalSpy history(&w, &CounterWindow::historiquerequested);
        QSignalSpy adhesion(&w, &CounterWindow::adhesionrequested);
        QSignalSpy parameters(&w, &CounterWindow::parametresrequested);
        const auto clickall = [&] {
            for (const char* name : {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton5"})
                Person::click(counter.get<QToolButton>(name));
        };
        clickall();
        QCOMPARE(modification.size(), 0);
        QCOMPARE(history.size(), 0);
        QCOMPARE(adhesion.size(), 1);
        QCOMPARE(parameters.size(), 1);
        counter.showmember();
        clickall();
        QCOMPARE(modification.size(), 1);
        QCOMPARE(history.size(), 1);
    }

    // Every control is reached with the keyboard and has a name for screen readers.
    void keyboardAndAccessibleNames()
    {
        Counter counter;
        CounterWindow& w = *counter.window;
        // With a member shown every control is enabled; Tab goes round all of them.
        counter.showmember();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.search()->setFocus();
        QSet<QString> reached;
        for (int presses = 0; presses < 60; ++presses) {
            reached.insert(QApplication::focusWidget()->objectName());
            Person::press(Qt::Key_Tab);
        }

        int controls = 0;
        for (QWidget* control : w.findChildren<QWidget*>()) {
            if (control->window() != &w || control->objectName().startsWith(u"qt_"_s) ||
                control->objectName().isEmpty() || qobject_cast<QLabel*>(control) || !control->isEnabled() ||
                control->focusPolicy() == Qt::NoFocus)
                continue;
            ++controls;
            QVERIFY2(reached.contains(control->objectName()), qPrintable(control->objectName()));
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(control->objectName()));
        }
        QVERIFY(controls > 10);
        QCOMPARE(QAccessible::queryAccessibleInterface(w.btnprintpoints())->text(QAccessible::Name),
                 u"Imprimer le ticket de points"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(w.search())->text(QAccessible::Name),
                 u"Nom / N° carte : "_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(w.addpoint())->text(QAccessible::Name),
                 u"Total Vente :"_s);
    }
};

QTEST_MAIN(TestCounterWindow)
#include "tst_counterwindow.moc"
