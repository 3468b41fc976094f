// Sales kept while the platform cannot be reached, as the pharmacist meets them: the question, the
// counter moving on, the count on the counter, and the sending once the platform is back: each
// sale once, in the order kept, across a restart of the program and with two counters sharing
// the work folder.
#include "FixedClock.h"
#include "LocalPlatform.h"
#include "Person.h"
#include "RunningProgram.h"
#include "SmallDisk.h"

#include "api/CounterClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/Coupons.h"
#include "counter/Reconciliation.h"
#include "counter/Sale.h"
#include "members/Lookup.h"
#include "outbox/KeptSales.h"
#include "outbox/KeptSalesWindow.h"
#include "sender/KeptSender.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Reads members from the platform as the counter does, outside the program under test.
class Reader
{
public:
    explicit Reader(LocalPlatform& platform) : m_client(m_buffer, [&platform] { return platform.apiurl(); })
    {
        m_client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
    }

    QJsonObject member(const QString& card)
    {
        const HttpReply reply = m_client.postform(
            u"json_data={\"FidelityMember\":{\"actif\":\"1\",\"group\":{\"idExternal\":\""_s +
            LocalPlatform::demoidpharma() + u"\"},\"cardnumber\":\""_s + card + u"\"}}"_s);
        return QJsonDocument::fromJson(reply.body).object().value(u"FidelityMember"_s).toObject();
    }
    qint64 points(const QString& card) { return member(card).value(u"nbPoint"_s).toInteger(); }
    // The member's "event" value, parsed as the program parses it.
    std::optional<JsonValue> events(const QString& card)
    {
        const HttpReply reply = m_client.postform(Lookup::requestline(card, LocalPlatform::demoidpharma()));
        const Lookup::Reply read = Lookup::readreply(ReplyBuffer::normalised(reply.body));
        const JsonValue* event =
            read.kind == Lookup::Reply::Kind::Member ? read.member.find("event") : nullptr;
        return event ? std::optional<JsonValue>(*event) : std::nullopt;
    }
    QString id(const QString& card) { return QString::number(member(card).value(u"id"_s).toInteger()); }

    // The sale numbers of the member's "addCA" events that begin with `prefix`, oldest first.
    QStringList sales(const QString& card, const QString& prefix)
    {
        QList<std::pair<qint64, QString>> found;
        const QJsonValue events = member(card).value(u"event"_s).toObject().value(u"list"_s);
        for (const QJsonValue event : events.toArray()) {
            const QJsonObject object = event.toObject();
            const QString number = object.value(u"idExternal"_s).toString();
            if (object.value(u"type"_s).toString() == u"addCA"_s && number.startsWith(prefix))
                found.append({object.value(u"id"_s).toVariant().toLongLong(), number});
        }
        std::sort(found.begin(), found.end());
        QStringList numbers;
        for (const auto& [id, number] : found)
            numbers.append(number);
        return numbers;
    }

    CounterClient& client() { return m_client; }

private:
    ReplyBuffer m_buffer;
    CounterClient m_client;
};

// Types the sale as the pharmacist does and validates it with the button, or with Enter in the
// amount field.
void sell(CounterWindow& window, const QString& amount, const QString& number, bool enter = false)
{
    Person::click(window.edvendeur());
    Person::type(u"VD"_s);
    Person::click(window.ednumvente());
    Person::type(number);
    Person::click(window.addpoint());
    Person::type(amount);
    if (enter)
        Person::press(Qt::Key_Return);
    else
        Person::click(window.btnadd());
}

// A kept sale as the counter keeps it, for a test that fills the file itself.
KeptSale kept(const QString& memberid, const QString& amount, const QString& number)
{
    KeptSale sale;
    sale.memberid = memberid;
    sale.membername = u"Client "_s + memberid;
    sale.amount = amount;
    sale.seller = u"VD"_s;
    sale.number = number;
    Sale::Request request{memberid, LocalPlatform::demoidpharma(), u"VD"_s, number, amount, {}};
    sale.request = (Sale::requesttext(request) + u"\r\n"_s).toUtf8();
    return sale;
}

int keptcount(const QString& folder)
{
    const SystemClock clock;
    KeptSales store(KeptSales::pathin(folder), clock);
    return store.count().value_or(-1);
}

// A work folder that outlives the programs a test starts on it, and its kept sales' file, read
// and filled by the test as another counter would.
class Folder
{
public:
    QString path() const { return m_dir.path(); }
    KeptSales& store() { return m_store; }
    int count() const { return keptcount(path()); }

private:
    QTemporaryDir m_dir;
    SystemClock m_clock;
    KeptSales m_store{KeptSales::pathin(m_dir.path()), m_clock};
};

int countof(const QByteArrayList& bodies, const QByteArray& part)
{
    return int(std::count_if(bodies.begin(), bodies.end(),
                             [&](const QByteArray& body) { return body.contains(part); }));
}

} // namespace

// How long the platform may still process a send whose reply never came, in these tests.
constexpr int klimit = 2;

class TestKeptSalesPlatform : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("QUILBA_PROCESSING_LIMIT", QByteArray::number(klimit)); }

    // Three counters of one pharmacy share the work folder; the platform goes away while each
    // shows a member, each keeps its sale and moves on. The program is started again while the
    // platform is still away: it shows the three sales waiting. The platform comes back, the
    // pharmacist looks a customer up, and the three sales are credited once each, in the order
    // kept; the count goes.
    void keptWhileAwayAreSentOnceInOrderAfterARestart()
    {
        LocalPlatform platform({}, true, LocalPlatform::Data::File);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Folder work;
        Reader reader(platform);
        const qint64 marie = reader.points(u"1010001"_s);
        const qint64 martine = reader.points(u"1010003"_s);

        const QStringList cards{u"1010003"_s, u"1010001"_s, u"1010003"_s};
        std::vector<std::unique_ptr<RunningProgram>> counters;
        for (const QString& card : cards) {
            counters.push_back(
                std::make_unique<RunningProgram>(platform, QStringList(), nullptr, work.path()));
            counters.back()->show();
            counters.back()->search(card);
            QVERIFY(!counters.back()->window().state().idle());
        }
        QVERIFY2(platform.stop(), qPrintable(platform.error()));

        const QStringList amounts{u"12"_s, u"7,50"_s, u"30"_s};
        for (int n = 0; n < 3; ++n) {
            RunningProgram& counter = *counters[size_t(n)];
            counter.window().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&counter.window()));
            sell(counter.window(), amounts[n], u"K-%1"_s.arg(n + 1), n == 1);
            QCOMPARE(counter.dialogs.texts(), QStringList{Sale::keepquestion()});
            QCOMPARE(counter.dialogs.shown().front().kind, u"question"_s);
            // The next customer: the counter is empty, the search field has the keyboard.
            QCOMPARE(counter.window().search()->text(), QString());
            QVERIFY(counter.window().search()->hasFocus());
            QCOMPARE(counter.window().addpoint()->text(), QString());
            QVERIFY(counter.window().state().idle());
            QCOMPARE(counter.window().btventesenattente()->text(),
                     n == 0 ? u"1 vente en attente d'envoi"_s : u"%1 ventes en attente d'envoi"_s.arg(n + 1));
            QTRY_VERIFY(counter.window().btventesenattente()->isVisible());
        }
        counters.clear();
        QCOMPARE(work.count(), 3);

        RunningProgram again(platform, {}, nullptr, work.path());
        again.show();
        QCOMPARE(again.window().btventesenattente()->text(), u"3 ventes en attente d'envoi"_s);
        QTRY_VERIFY(again.window().btventesenattente()->isVisible());
        // Its first round found the platform away: nothing was lost.
        QTest::qWait(200);
        QCOMPARE(work.count(), 3);

        QVERIFY2(platform.restart(), qPrintable(platform.error()));
        again.search(u"1010002"_s);
        QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!again.window().btventesenattente()->isVisible(), 5000);

        QCOMPARE(reader.sales(u"1010003"_s, u"K-"_s), (QStringList{u"K-1"_s, u"K-3"_s}));
        QCOMPARE(reader.sales(u"1010001"_s, u"K-"_s), QStringList{u"K-2"_s});
        QCOMPARE(reader.points(u"1010003"_s), martine + 42);
        QCOMPARE(reader.points(u"1010001"_s), marie + 7);
        // In the order kept, across the members.
        const QByteArrayList bodies = again.sent();
        QStringList order;
        for (const QByteArray& body : bodies) {
            if (body.contains("\"type\":\"addCA\""))
                order.append(QString::fromUtf8(body.mid(body.indexOf("\"idExternal\":\"K-") + 14, 3)));
        }
        QCOMPARE(order, (QStringList{u"K-1"_s, u"K-2"_s, u"K-3"_s}));
    }

    // What is not kept: a No keeps everything typed as before; a refused access is not an absent
    // platform; a coupon's use is never kept, it is checked with the platform when it is used.
    void notKept()
    {
        LocalPlatform platform({}, true, LocalPlatform::Data::File);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        RunningProgram counter(platform);
        counter.show();
        counter.search(u"1010001"_s);
        QVERIFY2(platform.stop(), qPrintable(platform.error()));

        counter.dialogs.script({false});
        sell(counter.window(), u"12"_s, u"N-1"_s);
        QCOMPARE(counter.dialogs.texts(), (QStringList{Sale::keepquestion(), Sale::notsentmessage()}));
        QCOMPARE(counter.window().addpoint()->text(), u"12"_s);
        QCOMPARE(counter.window().ednumvente()->text(), u"N-1"_s);
        QVERIFY(!counter.window().state().idle());
        QVERIFY(!counter.window().btventesenattente()->isVisible());
        QCOMPARE(keptcount(counter.workfolder()), 0);

        // The coupon shown before the platform went away.
        counter.dialogs.clear();
        QTableWidget* grid = counter.window().listecoupons();
        QVERIFY(grid->rowCount() > 0);
        Person::click(grid, grid->model()->index(0, Coupons::Use));
        Person::press(Qt::Key_Return);
        QCOMPARE(counter.dialogs.texts().value(0), Coupons::confirmmessage());
        QVERIFY(!counter.dialogs.texts().contains(Sale::keepquestion()));
        QCOMPARE(keptcount(counter.workfolder()), 0);
    }

    // The work folder's disk is full: the sale cannot be noted before it leaves, the pharmacist is
    // told why and asked whether to send it all the same; sent, it does not leave, and it cannot
    // be kept: it stays typed on the counter, ready to be sent again.
    void fullDiskKeepsTheSaleTyped()
    {
        SmallDisk small(1024);
        if (!small.ok())
            QSKIP(qPrintable(small.reason()));
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        RunningProgram counter(platform, QStringList(), nullptr, small.path());
        counter.show();
        counter.search(u"1010001"_s);
        QVERIFY2(platform.stop(), qPrintable(platform.error()));
        QVERIFY(small.fill());

        sell(counter.window(), u"12"_s, u"F-1"_s);
        const QStringList told = counter.dialogs.texts();
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0].startsWith(u"La vente n'a pas pu être notée avant l'envoi : "_s),
                 qPrintable(told[0]));
        QVERIFY2(told[0].endsWith(u"Envoyer quand même ?"_s), qPrintable(told[0]));
        QCOMPARE(counter.dialogs.shown()[0].kind, u"question"_s);
        QCOMPARE(told[1], Sale::notsentmessage());
        QCOMPARE(counter.window().addpoint()->text(), u"12"_s);
        QCOMPARE(counter.window().ednumvente()->text(), u"F-1"_s);
        QVERIFY(!counter.window().state().idle());
        QVERIFY(!counter.window().btventesenattente()->isVisible());
    }

    // The file cannot be opened (a link planted in its place): the counter says so on its button,
    // the reason read by screen readers; a sale asks whether to go unnoted, and on Non nothing
    // leaves and the sale stays typed.
    void unopenableFileIsSaid()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        QTemporaryDir work;
        QVERIFY(QFile::link(work.filePath(u"ailleurs"_s), KeptSales::pathin(work.path())));
        RunningProgram counter(platform, QStringList(), nullptr, work.path());
        counter.show();
        QToolButton* button = counter.window().btventesenattente();
        QTRY_VERIFY(button->isVisible());
        QCOMPARE(button->text(), u"Ventes en attente : fichier inutilisable"_s);
        QCOMPARE(button->accessibleName(), button->text());
        QVERIFY2(button->accessibleDescription().contains(u"lien symbolique"_s),
                 qPrintable(button->accessibleDescription()));

        counter.search(u"1010001"_s);
        counter.sent();
        counter.dialogs.clear();
        counter.dialogs.script({false});
        sell(counter.window(), u"12"_s, u"U-1"_s);
        const QStringList told = counter.dialogs.texts();
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0].contains(u"lien symbolique"_s) && told[0].endsWith(u"Envoyer quand même ?"_s),
                 qPrintable(told[0]));
        QCOMPARE(told[1], Sale::notsentmessage());
        QCOMPARE(countof(counter.sent(), "\"type\":\"addCA\""), 0);
        QCOMPARE(counter.window().addpoint()->text(), u"12"_s);
        QVERIFY(!QFileInfo::exists(work.filePath(u"ailleurs"_s)));
    }

    // The pharmacist opens the list from the counter, deletes a sale there with the keyboard
    // (after saying yes), and closes it: the counter shows one sale left, and only that one
    // reaches the platform once it is back.
    void deletedFromTheListIsNeverSent()
    {
        LocalPlatform platform({}, true, LocalPlatform::Data::File);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Folder work;
        Reader reader(platform);
        const QString id = reader.id(u"1010003"_s);
        const qint64 points = reader.points(u"1010003"_s);
        QVERIFY(work.store().keep(kept(id, u"15"_s, u"S-1"_s)));
        QVERIFY(work.store().keep(kept(id, u"20"_s, u"S-2"_s)));
        QVERIFY2(platform.stop(), qPrintable(platform.error()));
        RunningProgram counter(platform, QStringList(), nullptr, work.path());
        counter.show();
        QToolButton* button = counter.window().btventesenattente();
        QTRY_VERIFY(button->isVisible());
        QCOMPARE(button->accessibleName(), u"2 ventes en attente d'envoi"_s);

        QStringList rows;
        bool listfirst = false;
        int left = -1;
        Person::whenmodal<KeptSalesWindow>([&](KeptSalesWindow* window) {
            QTableWidget* list = window->listeventes();
            // What a window manager does for a dialog that opens; the offscreen screen does not.
            window->activateWindow();
            listfirst = QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }) &&
                        list->hasFocus();
            for (int row = 0; row < list->rowCount(); ++row)
                rows.append(list->item(row, 3)->text());
            Person::press(Qt::Key_Down);
            Person::press(Qt::Key_Delete);
            left = list->rowCount();
            Person::press(Qt::Key_Escape);
        });
        // Reached from the search field with the keyboard: it closes the tab chain.
        QVERIFY(counter.window().search()->hasFocus());
        Person::press(Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(button->hasFocus());
        Person::press(Qt::Key_Space);
        QVERIFY(listfirst);
        QCOMPARE(rows, (QStringList{u"S-1"_s, u"S-2"_s}));
        QCOMPARE(left, 1);
        QCOMPARE(counter.dialogs.shown().last().kind, u"question"_s);
        QCOMPARE(button->text(), u"1 vente en attente d'envoi"_s);

        QVERIFY2(platform.restart(), qPrintable(platform.error()));
        counter.search(u"1010002"_s);
        QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 20000);
        QCOMPARE(reader.sales(u"1010003"_s, u"S-"_s), QStringList{u"S-1"_s});
        QCOMPARE(reader.points(u"1010003"_s), points + 15);
    }

    // A kept sale whose earlier send may have landed (its counter died, or its reply was lost) is
    // looked for among the member's events first: found, it is settled without being sent again;
    // not found, it is sent, once.
    void mayHaveLeft_data()
    {
        QTest::addColumn<bool>("landed");
        QTest::newRow("it had landed") << true;
        QTest::newRow("it had not") << false;
    }
    void mayHaveLeft()
    {
        QFETCH(bool, landed);
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Folder work;
        Reader reader(platform);
        const QString id = reader.id(u"1010003"_s);
        const qint64 points = reader.points(u"1010003"_s);
        {
            // A counter takes the sale, reads the events, sends it and dies before settling it:
            // its lease runs out.
            KeptSales& store = work.store();
            const KeptSale sale = kept(id, u"15"_s, u"M-1"_s);
            QVERIFY(store.keep(sale));
            QCOMPARE(store.claim({}, 1).status, KeptSales::Status::Done);
            // The keys the dead counter wrote before its send, read as the sender reads them.
            const std::optional<QSet<QString>> keys = Reconciliation::eventkeys(reader.events(u"1010003"_s));
            QVERIFY(keys);
            QCOMPARE(store.recordbefore(1, *keys), KeptSales::Status::Done);
            if (landed)
                QVERIFY(reader.client().httpput(QString::fromUtf8(sale.request)).ok);
            // Its lease, then the platform's processing of a send it may have made, are over.
            QTest::qWait(1100 + klimit * 1000);
        }
        QCOMPARE(reader.points(u"1010003"_s), points + (landed ? 15 : 0));

        RunningProgram counter(platform, {}, nullptr, work.path());
        QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 20000);
        QCOMPARE(countof(counter.sent(), "\"type\":\"addCA\""), landed ? 0 : 1);
        QCOMPARE(reader.sales(u"1010003"_s, u"M-"_s), QStringList{u"M-1"_s});
        QCOMPARE(reader.points(u"1010003"_s), points + 15);
    }

    // The sender's own reply is lost: the write was recorded, the lookup after it finds the sale
    // and settles it; the write was not, the sale waits "may have left" while the platform could
    // still be processing it, and a round after that sends it once.
    void lostReplyOfTheSend_data()
    {
        QTest::addColumn<bool>("processed");
        QTest::newRow("recorded") << true;
        QTest::newRow("not recorded") << false;
    }
    void lostReplyOfTheSend()
    {
        QFETCH(bool, processed);
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Folder work;
        Reader reader(platform);
        const QString id = reader.id(u"1010003"_s);
        const qint64 points = reader.points(u"1010003"_s);
        QVERIFY(work.store().keep(kept(id, u"15"_s, u"L-1"_s)));
        // The sender's lookup goes through; the sale's reply is lost.
        platform.admin("POST", u"faults"_s,
                       processed
                           ? R"([{"action":"delay","path":"/apiv1/"},
                                               {"action":"close","process":true,"path":"/apiv1/"}])"
                           : R"([{"action":"delay","path":"/apiv1/"},{"action":"close","path":"/apiv1/"}])");
        RunningProgram counter(platform, {}, nullptr, work.path());
        if (processed) {
            QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 20000);
        } else {
            KeptSales& store = work.store();
            QTRY_COMPARE_WITH_TIMEOUT(store.list()->front().attempts, 1, 20000);
            const KeptSale left = store.list()->front();
            QCOMPARE(left.failure, KeptSender::unconfirmedmessage());
            QVERIFY(left.mayhaveleft);
            QCOMPARE(reader.points(u"1010003"_s), points);
            counter.show();
            QTRY_VERIFY(counter.window().btventesenattente()->isVisible());
            QTest::qWait(klimit * 1000);
            counter.search(u"1010002"_s);
            QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 20000);
        }
        QCOMPARE(reader.sales(u"1010003"_s, u"L-"_s), QStringList{u"L-1"_s});
        QCOMPARE(reader.points(u"1010003"_s), points + 15);
    }

    // The program is closed while its sender waits for a platform that stalls: it ends at once,
    // the sale stays in the list, free for the next start, which sends it once.
    void closingWhileSendingLosesNothing()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Folder work;
        Reader reader(platform);
        const QString id = reader.id(u"1010003"_s);
        const qint64 points = reader.points(u"1010003"_s);
        QVERIFY(work.store().keep(kept(id, u"15"_s, u"C-1"_s)));
        platform.admin("POST", u"faults"_s, R"({"action":"stall","path":"/apiv1/"})");
        {
            RunningProgram counter(platform, QStringList(), nullptr, work.path());
            // The fault is taken: the sender's first request is in, and stalls.
            QTRY_VERIFY_WITH_TIMEOUT(!platform.admin("GET", u"faults"_s).contains("stall"), 10000);
            counter.program.reset();
        }
        {
            const auto sales = work.store().list();
            QVERIFY2(sales, qPrintable(work.store().errorstring()));
            QCOMPARE(sales->size(), size_t(1));
            QVERIFY(!sales->front().held);
            QCOMPARE(sales->front().attempts, 1);
        }
        platform.admin("DELETE", u"faults"_s);
        RunningProgram again(platform, QStringList(), nullptr, work.path());
        QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 20000);
        QCOMPARE(reader.sales(u"1010003"_s, u"C-"_s), QStringList{u"C-1"_s});
        QCOMPARE(reader.points(u"1010003"_s), points + 15);
    }

    // Two counters start on one work folder with a list of kept sales: between them each sale is
    // sent once, and a member's sales reach the platform in the order kept; once the list is
    // empty, both counters stop saying sales are waiting within seconds (the file's change is
    // seen, not only a round of their own), whichever sent them.
    void twoProgramsShareOneList()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Folder work;
        Reader reader(platform);
        const QString martine = reader.id(u"1010003"_s);
        const QString jean = reader.id(u"1010002"_s);
        {
            KeptSales& store = work.store();
            for (int n = 1; n <= 12; ++n)
                QVERIFY(store.keep(
                    kept(n % 3 == 0 ? jean : martine, u"1"_s, u"D-%1"_s.arg(n, 2, 10, QChar(u'0')))));
        }
        const qint64 before = reader.points(u"1010003"_s) + reader.points(u"1010002"_s);
        RunningProgram first(platform, {}, nullptr, work.path());
        RunningProgram second(platform, {}, nullptr, work.path());
        first.show();
        second.show();
        QTRY_COMPARE_WITH_TIMEOUT(work.count(), 0, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!first.window().btventesenattente()->isVisible() &&
                                     !second.window().btventesenattente()->isVisible(),
                                 10000);

        QStringList martines, jeans;
        for (int n = 1; n <= 12; ++n)
            (n % 3 == 0 ? jeans : martines).append(u"D-%1"_s.arg(n, 2, 10, QChar(u'0')));
        QCOMPARE(reader.sales(u"1010003"_s, u"D-"_s), martines);
        QCOMPARE(reader.sales(u"1010002"_s, u"D-"_s), jeans);
        QCOMPARE(reader.points(u"1010003"_s) + reader.points(u"1010002"_s), before + 12);
    }
};

QTEST_MAIN(TestKeptSalesPlatform)
#include "tst_keptsales_platform.moc"
