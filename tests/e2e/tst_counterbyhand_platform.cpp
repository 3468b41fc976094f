#include "Person.h"
#include "PlatformTest.h"
#include "RunningProgram.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/Coupons.h"
#include "counter/ElidedLabel.h"
#include "counter/SaleLines.h"
#include "settings/ParametersWindow.h"

#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Keys and clicks as a pharmacist gives them: "type:" the characters (a line break is Enter),
// "click:" a button of the counter window by its name, "focus:" a click into a box.
void act(CounterWindow& window, const QStringList& steps)
{
    for (const QString& step : steps) {
        const QString what = step.section(u':', 0, 0);
        const QString value = step.section(u':', 1);
        if (what == u"type"_s) {
            const QStringList pieces = value.split(u'\n');
            for (qsizetype i = 0; i < pieces.size(); ++i) {
                Person::type(pieces.at(i));
                if (i + 1 < pieces.size())
                    Person::press(Qt::Key_Return);
            }
        } else if (what == u"click"_s || what == u"focus"_s) {
            QWidget* target = window.findChild<QWidget*>(value);
            QVERIFY2(target, qPrintable(value));
            Person::click(target);
        }
    }
}

// The sale of the two-line example, for the member shown and pharmacy 101.
QByteArray examplesale(const QString& member)
{
    return uR"({"AdEvent":{"type":"addCA", "member":{"id":%1},"group":{"loadFromKeys":{"idExternal":"101" }},"sparam":"AB","fvalue":"25.8","details":[{"AdEventDetail":{"detailType":"I","class1":"produit A100","class10":"A100","quantity":"2","unitValue":"4.5","finalvalue":"9"}},{"AdEventDetail":{"detailType":"I","class1":"produit B200","class10":"B200","quantity":"1","unitValue":"16.8","finalvalue":"16.8"}}]}})"_s
        .arg(member)
        .toUtf8();
}

QByteArrayList sales(const QByteArrayList& bodies)
{
    QByteArrayList out;
    for (const QByteArray& body : bodies) {
        if (body.startsWith(R"({"AdEvent":{"type":"addCA")"))
            out.append(body);
    }
    return out;
}

QString accessiblename(QWidget* widget)
{
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(widget);
    return shown ? shown->text(QAccessible::Name) : QString();
}

} // namespace

class TestCounterByHand : public PlatformTest
{
    Q_OBJECT
private slots:
    // Product lines typed at the keyboard reach the sale whole and in order, whatever state the
    // grid is left in when the sale is validated, and never with an amount the screen did not show.
    void saleTypedLineByLine_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("questions"); // every box shown
        const QString first = u"type:A100\n2\n4.5\n\n"_s;
        QTest::newRow("empty line left for the next product")
            << QStringList{first, u"type:B200\n1\n16.8\n\n"_s, u"click:btnadd"_s} << QStringList();
        // The line stored at the click changes the amount shown (9): the new one is told and shown,
        // and the next click sends it.
        const QString changed = u"La ligne en cours de saisie a été enregistrée : le total de la vente est "
                                "maintenant de 25,8 euros. Vérifiez-le puis validez la vente à nouveau."_s;
        QTest::newRow("price still in its cell editor")
            << QStringList{first, u"type:B200\n1\n16.8"_s, u"click:btnadd"_s, u"click:btnadd"_s}
            << QStringList{changed};
        QTest::newRow("cursor on the total, line not stored")
            << QStringList{first, u"type:B200\n1\n16.8\n"_s, u"click:btnadd"_s, u"click:btnadd"_s}
            << QStringList{changed};
        QTest::newRow("a third line deleted while its code is being typed")
            << QStringList{first, u"type:B200\n1\n16.8\n\nC300"_s, u"click:nbDelete"_s, u"click:btnadd"_s}
            << QStringList{u"Supprimer l'enregistrement ?"_s};
        QTest::newRow("plus and minus on the empty line") << QStringList{first,
                                                                         u"click:nbDelete"_s,
                                                                         u"click:nbInsert"_s,
                                                                         u"type:B200\n1\n16.8\n\n"_s,
                                                                         u"click:nbInsert"_s,
                                                                         u"click:nbInsert"_s,
                                                                         u"click:btnadd"_s}
                                                          << QStringList();
    }
    void saleTypedLineByLine()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, questions);
        RunningProgram counter(*m_platform, {u"-nocoupon"_s});
        counter.show();
        CounterWindow& window = counter.window();
        Person::click(window.edvendeur());
        Person::type(u"AB"_s);
        counter.search(u"1010001"_s);
        QVERIFY(!window.state().idle());
        QCOMPARE(Person::focus(), window.dbgridproduits());
        const QString member = window.state().currentmemberid();
        const QString before = window.encours()->text();
        counter.sent();

        act(window, steps);

        QCOMPARE(counter.dialogs.texts(), questions);
        const QByteArrayList sent = sales(counter.sent());
        QCOMPARE(sent, QByteArrayList{examplesale(member)});
        // The sale landed, the window reset and showed the member again.
        QCOMPARE(window.encours()->text(), QString::number(before.toInt() + 25));
        QCOMPARE(window.state().Produits().size(), 0);
        QCOMPARE(window.addpoint()->text(), QString());
        QVERIFY(window.isVisible());
    }

    // "−" asks before deleting a stored line and the amount follows; the empty line goes
    // without a question.
    void deleteLinesByHand()
    {
        RunningProgram counter(*m_platform, {u"-nocoupon"_s});
        counter.show();
        CounterWindow& window = counter.window();
        counter.search(u"1010001"_s);
        counter.sent();
        act(window, {u"type:A100\n2\n4.5\n\nB200\n1\n16.8\n\n"_s});
        SaleLines& produits = window.state().Produits();
        QCOMPARE(produits.size(), 3);
        QCOMPARE(window.addpoint()->text(), u"25,8"_s);

        act(window, {u"click:nbDelete"_s});
        QCOMPARE(produits.size(), 2);
        QCOMPARE(counter.dialogs.texts(), QStringList());

        counter.dialogs.script({false});
        act(window, {u"click:nbDelete"_s});
        QCOMPARE(produits.size(), 2);
        counter.dialogs.script({true});
        act(window, {u"click:nbDelete"_s});
        QCOMPARE(counter.dialogs.texts(), QStringList(2, u"Supprimer l'enregistrement ?"_s));
        QCOMPARE(produits.size(), 1);
        QCOMPARE(produits.at(0).code, u"A100"_s);
        QCOMPARE(window.addpoint()->text(), u"9"_s);
        QCOMPARE(counter.sent(), QByteArrayList());
    }

    // A line without a product code is named and keeps the sale back; nothing is sent.
    void lineWithoutCodeKeepsTheSale()
    {
        RunningProgram counter(*m_platform, {u"-nocoupon"_s});
        counter.show();
        CounterWindow& window = counter.window();
        counter.search(u"1010001"_s);
        counter.sent();
        act(window, {u"type:A100\n2\n4.5\n\n\n3"_s, u"click:btnadd"_s});
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Le champ 'Code Produit' doit avoir une valeur"_s});
        QCOMPARE(sales(counter.sent()), QByteArrayList());
        QCOMPARE(window.state().Produits().size(), 2);
        QCOMPARE(window.dbgridproduits()->currentIndex().row(), 1);
    }

    // Tab walks every control of the counter window in its order, and comes round.
    void tabWalksTheCounter()
    {
        RunningProgram counter(*m_platform, {u"-nocoupon"_s});
        counter.show();
        CounterWindow& window = counter.window();
        counter.search(u"1010001"_s);
        Person::click(window.search());
        QStringList walked{Person::focus()->objectName()};
        for (int i = 0; i < 18; ++i) {
            Person::press(Qt::Key_Tab);
            walked.append(Person::focus() ? Person::focus()->objectName() : u"(rien)"_s);
        }
        const QStringList order{u"search"_s,         u"btsearch"_s,    u"listecoupons"_s, u"btnprintpoints"_s,
                                u"dbgridproduits"_s, u"edvendeur"_s,   u"ednumvente"_s,   u"addpoint"_s,
                                u"nbInsert"_s,       u"nbDelete"_s,    u"add10pts"_s,     u"SpeedButton2"_s,
                                u"btnadd"_s,         u"ToolButton1"_s, u"ToolButton2"_s,  u"ToolButton3"_s,
                                u"ToolButton6"_s,    u"ToolButton5"_s, u"search"_s};
        QCOMPARE(walked, order);
    }

    // Tab walks the parameters window in its order and comes round; the URL shown, which cannot be
    // changed, is not a stop.
    void tabWalksTheParameters()
    {
        RunningProgram counter(*m_platform, {u"-nocoupon"_s});
        counter.show();
        ParametersWindow& parameters = counter.program->parameterswindow();
        QStringList walked;
        Person::whenshown(&parameters, [&] {
            const auto close = qScopeGuard([&parameters] { parameters.reject(); });
            Person::click(parameters.findChild<QWidget*>(u"edapikey"_s));
            for (int i = 0; i < 12; ++i) {
                walked.append(Person::focus() ? Person::focus()->objectName() : u"(rien)"_s);
                Person::press(Qt::Key_Tab);
            }
        });
        Person::click(counter.window().findChild<QToolButton*>(u"ToolButton5"_s));
        QCOMPARE(walked, (QStringList{u"edapikey"_s, u"edcodepharmacie"_s, u"edlogin"_s, u"edpwd"_s,
                                      u"libellepharma"_s, u"adrpharma"_s, u"adr2pharma"_s, u"cppharma"_s,
                                      u"villepharma"_s, u"Button1"_s, u"Button2"_s, u"edapikey"_s}));
    }

    // A screen reader reads the member shown, not the names of the boxes; a long name is cut on
    // screen only.
    void screenReaderReadsTheMember()
    {
        RunningProgram counter(*m_platform, {u"-nocoupon"_s});
        counter.show();
        CounterWindow& window = counter.window();
        counter.search(u"1010004"_s);
        const auto named = [&window](const char* name) {
            QLabel* shown = window.findChild<QLabel*>(QLatin1StringView(name));
            return std::pair{shown->text(), accessiblename(shown)};
        };
        QCOMPARE(named("lblnom").second, u"M Marc DUPONT"_s);
        QCOMPARE(named("lbladresse").second, u"27 avenue Jean Jaurès 69007 LYON"_s);
        QCOMPARE(named("lblmail").second, u"marc.dupont@example.fr"_s);
        QCOMPARE(named("lblmobile").second, u"0611223344"_s);
        for (const char* name : {"encours", "lbldernvente", "lblfixe"})
            QCOMPARE(named(name).second, named(name).first);
        QVERIFY(!named("encours").first.isEmpty());
        QVERIFY(!named("lbldernvente").first.isEmpty());

        // What a label shows is text, never markup; a name too long for the place is cut.
        auto* nom = static_cast<ElidedLabel*>(window.lblnom());
        const QString longname = u"MME <b>Marie-Françoise</b> DE LA ROCHEFOUCAULD-MONTMORENCY"_s;
        nom->setText(longname);
        QCOMPARE(nom->textFormat(), Qt::PlainText);
        QCOMPARE(accessiblename(nom), longname);
        QVERIFY(nom->shown().endsWith(u'…'));
        const QWidget* points = window.findChild<QWidget*>(u"panelencours"_s);
        QVERIFY(nom->mapTo(&window, QPoint(nom->width(), 0)).x() <= points->mapTo(&window, QPoint(0, 0)).x());
    }

    // A coupon used or printed leaves the grid as it was: never scrolled sideways, "Utiliser"
    // whole for the next customer.
    void couponGridStaysInPlace()
    {
        RunningProgram counter(*m_platform);
        counter.show();
        CounterWindow& window = counter.window();
        counter.search(u"1010001"_s);
        QTableWidget* grid = window.listecoupons();
        QCOMPARE(grid->item(0, Coupons::Use)->text(), u"Utiliser"_s);
        const auto fits = [grid] {
            return grid->horizontalHeader()->length() <= grid->viewport()->width() &&
                   grid->horizontalScrollBar()->value() == 0;
        };
        QVERIFY(fits());
        counter.dialogs.script({false});
        Person::doubleclick(grid, grid->model()->index(0, Coupons::Use));
        QCOMPARE(counter.dialogs.texts(), QStringList{Coupons::confirmmessage()});
        QVERIFY(fits());
        Person::doubleclick(grid, grid->model()->index(0, Coupons::Print));
        QVERIFY(fits());
        QVERIFY(grid->visualRect(grid->model()->index(0, Coupons::Use)).right() < grid->viewport()->width());
    }
};

QTEST_MAIN(TestCounterByHand)
#include "tst_counterbyhand_platform.moc"
