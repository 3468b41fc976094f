#include "Person.h"
#include "PlatformTest.h"
#include "RunningProgram.h"

#include "counter/CounterKeys.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/Coupons.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "data/MemoryTable.h"
#include "history/HistoryWindow.h"
#include "members/EnrolmentForm.h"
#include "members/MemberChoiceDialog.h"
#include "settings/ParametersWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Counts every mouse event the application delivers.
class MouseCounter final : public QObject
{
public:
    MouseCounter() { qApp->installEventFilter(this); }
    ~MouseCounter() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            ++count;
            break;
        default:
            break;
        }
        return false;
    }
};

// A key as QKeySequence writes it ("F9", "Ctrl+P", "Ins"), pressed where the focus is.
void presskey(const QString& portable)
{
    const QKeyCombination combination = QKeySequence::fromString(portable, QKeySequence::PortableText)[0];
    Person::press(combination.key(), combination.keyboardModifiers());
}

// Whether each text occurs in the bodies, in order, each in a body after the one before.
bool inorder(const QByteArrayList& bodies, const QStringList& texts)
{
    qsizetype at = 0;
    for (const QString& text : texts) {
        while (at < bodies.size() && !bodies.at(at).contains(text.toUtf8()))
            ++at;
        if (at == bodies.size())
            return false;
        ++at;
    }
    return true;
}

int printed(const RunningProgram& counter)
{
    return static_cast<int>(QDir(counter.workfolder() + u"imprimes"_s).entryList(QDir::Files).size());
}

// A window of the program by its name.
QWidget* windownamed(RunningProgram& counter, const QString& name)
{
    Program& program = *counter.program;
    const QList<QWidget*> windows{&program.formmember(), &program.choixmembre(), &program.historywindow(),
                                  &program.parameterswindow()};
    for (QWidget* window : windows) {
        if (window->objectName() == name)
            return window;
    }
    return nullptr;
}

// What the table's "after" column reads: the widget with the keyboard ("cellule" for a cell
// editor of the products grid), the texts of the search and amount fields, the rows of the
// products and of the children, the first child's "Suppression", the pages opened, and for a
// window's name whether it shows.
QString observe(RunningProgram& counter, const QString& what)
{
    CounterWindow& window = counter.window();
    if (what == u"focus"_s) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            return u"(rien)"_s;
        if (focus->parentWidget() == window.dbgridproduits()->viewport())
            return u"cellule"_s;
        return focus->objectName();
    }
    if (what == u"search"_s)
        return window.search()->text();
    if (what == u"sélection"_s)
        return window.search()->selectedText();
    if (what == u"addpoint"_s)
        return window.addpoint()->text();
    if (what == u"produits"_s)
        return QString::number(window.state().Produits().size());
    if (what == u"enfants"_s)
        return QString::number(counter.program->formmember().enfants().rowCount());
    if (what == u"suppression"_s)
        return counter.program->formmember().enfants().value(0, 0).toString();
    if (what == u"url"_s)
        return counter.shell.urls().isEmpty() ? QString() : counter.shell.urls().constLast().path();
    if (QWidget* shown = windownamed(counter, what))
        return shown->isVisible() ? u"ouverte"_s : u"fermée"_s;
    return u"?"_s + what;
}

// Shift+Tab until the control of that name has the keyboard: backwards from the search field and
// from the form's first box, no box with a leaving check is passed on the way.
void reach(QWidget* window, const QString& name)
{
    for (int presses = 0; presses < 40; ++presses) {
        const QWidget* focus = Person::focus();
        const QWidget* holder = focus ? focus->parentWidget() : nullptr;
        if (focus && (focus->objectName() == name || (holder && holder->objectName() == name)))
            return;
        Person::press(Qt::Key_Backtab, Qt::ShiftModifier);
    }
    QFAIL(qPrintable(u"%1 n'est pas atteint au clavier dans %2"_s.arg(name, window->objectName())));
}

// Steps as a person gives them: "scan:" a card typed into the search field, its text selected,
// with Enter, "type:" characters where the focus is (a line break is Enter), "key:" one key,
// "focus:" the keyboard brought to a control by its name with Shift+Tab.
void act(QWidget* window, const QString& steps)
{
    for (const QString& step : steps.split(u';', Qt::SkipEmptyParts)) {
        const QString what = step.section(u':', 0, 0);
        const QString value = step.section(u':', 1);
        if (what == u"scan"_s) {
            reach(window, u"search"_s);
            Person::press(Qt::Key_A, Qt::ControlModifier);
            Person::type(value);
            Person::press(Qt::Key_Return);
        } else if (what == u"type"_s) {
            const QStringList pieces = value.split(u'\n');
            for (qsizetype i = 0; i < pieces.size(); ++i) {
                Person::type(pieces.at(i));
                if (i + 1 < pieces.size())
                    Person::press(Qt::Key_Return);
            }
        } else if (what == u"key"_s) {
            presskey(value);
        } else if (what == u"focus"_s) {
            reach(window, value);
        }
    }
}

} // namespace

class TestKeyboard : public PlatformTest
{
    Q_OBJECT
private slots:
    // One customer served from the keyboard alone: the card scanned, a product line, the sale, a
    // coupon used, the points ticket, the next customer. Not one mouse event on the way.
    void oneCustomerWithTheKeyboardAlone()
    {
        RunningProgram counter(*m_platform);
        counter.show();
        CounterWindow& window = counter.window();
        MouseCounter mouse;
        QCOMPARE(Person::focus(), window.search());
        // The member looked up, then the coupons asked for.
        const QStringList refresh{uR"("FidelityMember")"_s, uR"("Sent":{"type":"COUPON")"_s};

        Person::type(u"1010001"_s);
        Person::press(Qt::Key_Return);
        QVERIFY(!window.state().idle());
        const QString member = window.state().currentmemberid();
        const QByteArrayList found = counter.sent();
        QVERIFY(inorder(found, refresh));
        QCOMPARE(Person::focus(), window.dbgridproduits());

        // A line typed, its price left in the cell editor: F9 stores it and shows the amount it
        // gives; the next F9 sends it.
        Person::type(u"A100"_s);
        Person::press(Qt::Key_Return);
        Person::type(u"2"_s);
        Person::press(Qt::Key_Return);
        Person::type(u"4.5"_s);
        QCOMPARE(observe(counter, u"focus"_s), u"cellule"_s);
        const QString before = window.encours()->text();
        Person::press(Qt::Key_F9);
        QCOMPARE(counter.dialogs.texts(), QStringList{Sale::amountchangedmessage(u"9"_s)});
        QCOMPARE(window.addpoint()->text(), u"9"_s);
        QCOMPARE(counter.sent(), QByteArrayList());
        counter.dialogs.clear();
        Person::press(Qt::Key_F9);
        const QByteArray sale =
            uR"({"AdEvent":{"type":"addCA", "member":{"id":%1},"group":{"loadFromKeys":{"idExternal":"101" }},"fvalue":"9","details":[{"AdEventDetail":{"detailType":"I","class1":"produit A100","class10":"A100","quantity":"2","unitValue":"4.5","finalvalue":"9"}}]}})"_s
                .arg(member)
                .toUtf8();
        QByteArrayList sent = counter.sent();
        QVERIFY2(!sent.isEmpty() && sent.first() == sale, sent.join('\n').constData());
        QVERIFY(inorder(sent, refresh));
        QCOMPARE(window.encours()->text(), QString::number(before.toInt() + 9));
        QCOMPARE(counter.dialogs.texts(), QStringList());

        // Shift+Tab to the coupons (the product grid holds no line any more): the cursor is on the
        // first coupon's "Utiliser", and Enter uses it once "Oui" is answered.
        QCOMPARE(Person::focus(), window.dbgridproduits());
        Person::press(Qt::Key_Backtab, Qt::ShiftModifier);
        Person::press(Qt::Key_Backtab, Qt::ShiftModifier);
        QTableWidget* coupons = window.listecoupons();
        QCOMPARE(Person::focus(), coupons);
        QCOMPARE(coupons->currentColumn(), int(Coupons::Use));
        const QString id = coupons->item(coupons->currentRow(), Coupons::Id)->text();
        const QString track = coupons->item(coupons->currentRow(), Coupons::TrackCode)->text();
        const QString value = coupons->item(coupons->currentRow(), Coupons::Value)->text();
        QVERIFY(!id.isEmpty());
        counter.dialogs.script({true});
        Person::press(Qt::Key_Return);
        QCOMPARE(counter.dialogs.texts(), QStringList{Coupons::confirmmessage()});
        sent = counter.sent();
        QVERIFY2(sent.size() >= 2, sent.join('\n').constData());
        const QByteArray used =
            uR"({"AdEvent":{"type":"usedcoupon", "member":{"id":%1},"group":{"loadFromKeys":{"idExternal":"101" }},"fvalue":"%2","comment":"%3","cause":{"id":"%4"}}})"_s
                .arg(member, value, track, id)
                .toUtf8();
        const QByteArray marked =
            u"{\"Sent\":{\"id\":\"%1\",\"status2\":true,\"dateUpdateStatus2\":\""_s.arg(id).toUtf8();
        QCOMPARE(sent.at(0), used);
        QVERIFY(sent.at(1).startsWith(marked));
        QVERIFY(inorder(sent.mid(2), refresh));

        // The points ticket, then the next customer.
        Person::press(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(printed(counter), 1);
        Person::press(Qt::Key_F12);
        QVERIFY(window.state().idle());
        QCOMPARE(window.search()->text(), QString());
        QCOMPARE(Person::focus(), window.search());
        QCOMPARE(counter.sent(), QByteArrayList());
        QCOMPARE(counter.dialogs.texts(), QStringList{Coupons::confirmmessage()});
        QCOMPARE(mouse.count, 0);
    }

    // Every key of the README's table, where it acts. `setup`: steps on the counter window;
    // `window`: the window the key is pressed in (opened by the setup), after its own `inside`
    // steps; `opens`: the window that shows, with the widget that has the keyboard in it; `after`:
    // what must hold once the key is pressed (names of observe()); `questions`: the boxes asked;
    // `requests`: texts of the requests sent, in order (empty: nothing sent); `printed`: documents.
    void everyKeyOfTheTable_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("inside");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("opens");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<int>("printed");

        const QString member = u"scan:1010001"_s;
        const QString lookup = uR"("FidelityMember")"_s;
        const QString query = uR"("Sent":{"type":"COUPON")"_s;
        const QString use = uR"("type":"usedcoupon")"_s;
        const QString status = uR"("status2":true)"_s;
        const QString deleteline = u"Supprimer l'enregistrement ?"_s;

        QTest::newRow("F2 member shown: Actualiser")
            << member + u";focus:addpoint;type:12"_s << QString() << QString() << u"F2"_s << QString()
            << QStringList{u"focus=dbgridproduits"_s, u"addpoint=12"_s, u"search=1010001"_s} << QStringList()
            << QStringList{lookup, query} << 0;
        QTest::newRow("F2 name not found: search selected")
            << u"type:ZZZZ;focus:edvendeur"_s << QString() << QString() << u"F2"_s << QString()
            << QStringList{u"focus=search"_s, u"sélection=ZZZZ"_s} << QStringList{u"Client inconnu"_s}
            << QStringList{lookup} << 0;
        QTest::newRow("F2 search empty: only the focus")
            << u"focus:edvendeur"_s << QString() << QString() << u"F2"_s << QString()
            << QStringList{u"focus=search"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("F2 products grid: edits the cell")
            << member + u";type:A100\n"_s << QString() << QString() << u"F2"_s << QString()
            << QStringList{u"focus=cellule"_s, u"search=1010001"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("F3 ADHESION") << QString() << QString() << QString() << u"F3"_s
                                     << u"formmember:edcardnumber"_s << QStringList() << QStringList()
                                     << QStringList() << 0;
        QTest::newRow("F4 MODIFICATION")
            << member << QString() << QString() << u"F4"_s << u"formmember:edcardnumber"_s << QStringList()
            << QStringList() << QStringList() << 0;
        QTest::newRow("F4 without a member")
            << QString() << QString() << QString() << u"F4"_s << QString()
            << QStringList{u"formmember=fermée"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("F5 HISTORIQUE")
            << member << QString() << QString() << u"F5"_s << u"formhisto:DBGrid1"_s << QStringList()
            << QStringList() << QStringList() << 0;
        QTest::newRow("F9 Valider Vente")
            << member + u";focus:edvendeur;type:AB;focus:addpoint;type:12"_s << QString() << QString()
            << u"F9"_s << QString() << QStringList{u"addpoint="_s, u"focus=dbgridproduits"_s} << QStringList()
            << QStringList{u"\"sparam\":\"AB\",\"fvalue\":\"12\"}}"_s, lookup, query} << 0;
        QTest::newRow("F9 with the price in its cell editor: the amount shown first")
            << member + u";type:A100\n2\n4.5"_s << QString() << QString() << u"F9"_s << QString()
            << QStringList{u"produits=1"_s, u"addpoint=9"_s}
            << QStringList{Sale::amountchangedmessage(u"9"_s)} << QStringList() << 0;
        QTest::newRow("F9 with the line stored")
            << member + u";type:A100\n2\n4.5\n\n"_s << QString() << QString() << u"F9"_s << QString()
            << QStringList{u"produits=0"_s} << QStringList()
            << QStringList{uR"("fvalue":"9","details":[{"AdEventDetail")"_s, lookup} << 0;
        QTest::newRow("F9 without a member")
            << u"focus:edvendeur"_s << QString() << QString() << u"F9"_s << QString() << QStringList()
            << QStringList{Sale::nomembermessage()} << QStringList() << 0;
        QTest::newRow("F10 10 Points")
            << member + u";focus:addpoint;type:12,5"_s << QString() << QString() << u"F10"_s << QString()
            << QStringList{u"addpoint=22,5"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("F12 Client Suivant")
            << member + u";focus:addpoint;type:12"_s << QString() << QString() << u"F12"_s << QString()
            << QStringList{u"focus=search"_s, u"search="_s, u"addpoint="_s}
            << QStringList{u"Annuler la saisie en cours"_s} << QStringList() << 0;
        QTest::newRow("Ctrl+P ticket de points")
            << member << QString() << QString() << u"Ctrl+P"_s << QString() << QStringList() << QStringList()
            << QStringList() << 1;
        QTest::newRow("Alt+A ADELYA")
            << QString() << QString() << QString() << u"Alt+A"_s << QString()
            << QStringList{u"url=/loyaltyoperator/login.jsp"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("Alt+P PARAMETRES")
            << QString() << QString() << QString() << u"Alt+P"_s << u"formparams:edapikey"_s << QStringList()
            << QStringList() << QStringList() << 0;
        QTest::newRow("Ins products grid")
            << member << QString() << QString() << u"Ins"_s << QString()
            << QStringList{u"produits=1"_s, u"focus=cellule"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("Ins elsewhere: nothing")
            << member + u";focus:edvendeur"_s << QString() << QString() << u"Ins"_s << QString()
            << QStringList{u"produits=0"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("Ctrl+Del while a cell is being typed")
            << member + u";type:A100"_s << QString() << QString() << u"Ctrl+Del"_s << QString()
            << QStringList{u"produits=0"_s} << QStringList{deleteline} << QStringList() << 0;
        QTest::newRow("Ctrl+Del products grid")
            << member + u";type:A100\n2\n4.5\n\nB200\n1\n3\n\n;key:Up"_s << QString() << QString()
            << u"Ctrl+Del"_s << QString() << QStringList{u"produits=1"_s, u"addpoint=9"_s}
            << QStringList{deleteline} << QStringList() << 0;
        QTest::newRow("Enter on Utiliser")
            << member + u";focus:listecoupons"_s << QString() << QString() << u"Return"_s << QString()
            << QStringList() << QStringList{Coupons::confirmmessage()}
            << QStringList{use, status, lookup, query} << 0;
        QTest::newRow("Space on Utiliser")
            << member + u";focus:listecoupons"_s << QString() << QString() << u"Space"_s << QString()
            << QStringList() << QStringList{Coupons::confirmmessage()}
            << QStringList{use, status, lookup, query} << 0;
        QTest::newRow("Enter on Imprimer")
            << member + u";focus:listecoupons;key:Left"_s << QString() << QString() << u"Return"_s
            << QString() << QStringList() << QStringList() << QStringList() << 1;
        QTest::newRow("Enter on the coupon's name")
            << member + u";focus:listecoupons;key:Left;key:Left"_s << QString() << QString() << u"Return"_s
            << QString() << QStringList() << QStringList() << QStringList() << 0;

        const QString form = u"key:F3"_s;
        QTest::newRow("form Alt+V Valider")
            << form << u"formmember"_s << QString() << u"Alt+V"_s << u"formmember:edcardnumber"_s
            << QStringList{u"focus=edcardnumber"_s}
            << QStringList{u"Vous devez renseigner le numéro de la carte"_s} << QStringList() << 0;
        QTest::newRow("form Alt+Q Quitter")
            << form << u"formmember"_s << QString() << u"Alt+Q"_s << QString()
            << QStringList{u"formmember=fermée"_s} << QStringList{u"Annuler les modifications en cours"_s}
            << QStringList() << 0;
        QTest::newRow("form Escape Quitter")
            << form << u"formmember"_s << QString() << u"Esc"_s << QString()
            << QStringList{u"formmember=fermée"_s} << QStringList{u"Annuler les modifications en cours"_s}
            << QStringList() << 0;
        QTest::newRow("form Alt+I Impression")
            << form << u"formmember"_s << QString() << u"Alt+I"_s << QString()
            << QStringList{u"formmember=ouverte"_s} << QStringList() << QStringList() << 1;
        QTest::newRow("form Enter next field")
            << form << u"formmember"_s << u"type:1234567"_s << u"Return"_s << QString()
            << QStringList{u"focus=edcodevendeur"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("form Ins children grid")
            << form << u"formmember"_s << u"focus:DBGrid1"_s << u"Ins"_s << QString()
            << QStringList{u"enfants=1"_s, u"focus=DBGrid1"_s} << QStringList() << QStringList() << 0;
        QTest::newRow("form Space on Suppression")
            << form << u"formmember"_s << u"focus:DBGrid1;key:Ins;key:Home"_s << u"Space"_s << QString()
            << QStringList{u"suppression=1"_s} << QStringList() << QStringList() << 0;

        const QString homonyms = u"scan:DUPONT"_s;
        QTest::newRow("choice Enter chooses")
            << homonyms << u"choixmembre"_s << QString() << u"Return"_s << u"choixmembre:DBGrid1"_s
            << QStringList{u"choixmembre=fermée"_s} << QStringList() << QStringList{lookup, query} << 0;
        QTest::newRow("choice Escape cancels")
            << homonyms << u"choixmembre"_s << QString() << u"Esc"_s << QString()
            << QStringList{u"choixmembre=fermée"_s} << QStringList() << QStringList() << 0;

        QTest::newRow("history Enter closes")
            << member + u";key:F5"_s << u"formhisto"_s << u"key:Down"_s << u"Return"_s
            << u"formhisto:DBGrid1"_s << QStringList{u"formhisto=fermée"_s} << QStringList() << QStringList()
            << 0;
        QTest::newRow("history Escape closes")
            << member + u";key:F5"_s << u"formhisto"_s << QString() << u"Esc"_s << QString()
            << QStringList{u"formhisto=fermée"_s} << QStringList() << QStringList() << 0;
    }
    void everyKeyOfTheTable()
    {
        QFETCH(QString, setup);
        QFETCH(QString, window);
        QFETCH(QString, inside);
        QFETCH(QString, key);
        QFETCH(QString, opens);
        QFETCH(QStringList, after);
        QFETCH(QStringList, questions);
        QFETCH(QStringList, requests);
        QFETCH(int, printed);

        RunningProgram counter(*m_platform);
        counter.show();
        CounterWindow& counterwindow = counter.window();
        // A button pressed by Alt and its letter is clicked a moment later.
        const auto settle = [&] {
            QTRY_COMPARE(counter.dialogs.texts().size(), questions.size());
            QTRY_COMPARE(::printed(counter), printed);
        };
        const auto check = [&] {
            for (const QString& pair : after)
                QTRY_COMPARE(observe(counter, pair.section(u'=', 0, 0)), pair.section(u'=', 1));
        };

        // The window the key is pressed in, acted on from inside its own loop; every window that
        // shows is noted with the widget that has the keyboard, then closed.
        QString shown;
        bool done = window.isEmpty();
        for (const QString& name : {u"formmember"_s, u"choixmembre"_s, u"formhisto"_s, u"formparams"_s}) {
            QWidget* other = windownamed(counter, name);
            Person::whenshown(other, [&, other, name] {
                // The keyboard is the window's once it is the active one.
                QTRY_VERIFY(other->isActiveWindow());
                shown = name + u':' + (Person::focus() ? Person::focus()->objectName() : QString());
                if (name == window) {
                    counter.sent();
                    counter.dialogs.clear();
                    act(other, inside);
                    presskey(key);
                    settle();
                    check();
                    done = true;
                }
                if (other->isVisible())
                    static_cast<QDialog*>(other)->reject();
            });
        }
        const bool inwindow = !window.isEmpty();
        act(&counterwindow, setup);
        if (!inwindow) {
            counter.sent();
            counter.dialogs.clear();
            presskey(key);
            settle();
            check();
        }
        QTRY_VERIFY(done);
        if (!opens.isEmpty())
            QTRY_COMPARE(shown, opens);
        else if (!inwindow)
            QCOMPARE(shown, QString());

        QCOMPARE(counter.dialogs.texts(), questions);
        const QByteArrayList sent = counter.sent();
        if (requests.isEmpty())
            QVERIFY2(sent.isEmpty(), sent.join('\n').constData());
        else
            QVERIFY2(inorder(sent, requests), sent.join('\n').constData());
        QCOMPARE(::printed(counter), printed);
    }

    // The keys are said where a person looks for them: in the buttons' tooltips, and in the help.
    void keysAreShown()
    {
        RunningProgram counter(*m_platform);
        const QString help = CounterKeys::helptext();
        for (const CounterKeys::Key& key : CounterKeys::buttons()) {
            auto* button = counter.window().findChild<QToolButton*>(key.control);
            QVERIFY2(button, qPrintable(key.control));
            const QString name = CounterKeys::keyname(key.sequence);
            QVERIFY2(button->toolTip().endsWith(u" ("_s + name + u')'), qPrintable(button->toolTip()));
            QVERIFY2(help.contains(u"  "_s + name + u' '), qPrintable(name));
        }
        for (const char* name : {"ToolButton6", "ToolButton5"}) {
            const auto* button = counter.window().findChild<QToolButton*>(QLatin1StringView(name));
            QVERIFY(button->text().startsWith(u'&'));
            QVERIFY(!button->accessibleName().contains(u'&'));
        }
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard_platform.moc"
