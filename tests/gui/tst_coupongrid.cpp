#include "CounterRig.h"
#include "Person.h"
#include "RecordingReportOutput.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/CouponGrid.h"
#include "counter/Coupons.h"
#include "counter/Reconciliation.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

const QByteArray member =
    R"({"FidelityMember":{"id":7,"cardnumber":"1010001","name":"DUPONT","firstname":"Marie","nbPoint":110}})";
const QByteArray small = R"({"trackCode":"TC1","fvalue":7.5,"endDate":"2026-12-31 23:59:59","id":11})";
const QByteArray big = R"({"trackCode":"TC2","fvalue":"20","endDate":"2027-01-15","id":"12"})";
const QByteArray third = R"({"trackCode":"TC3","fvalue":"7.50","endDate":"2027-02-01","id":"13"})";

QByteArray list(const QList<QByteArray>& coupons)
{
    return "{\"list\":[" + coupons.join(',') + "]}";
}

// The counter window on a capture server, coupons asked after every member shown.
class Counter final : public CounterRig
{
public:
    Counter() { grid = window->listecoupons(); }

    // The member looked up by card, then the coupon reply.
    void showmember(const QByteArray& coupons)
    {
        server.enqueue(CaptureServer::ok(member));
        server.enqueue(CaptureServer::ok(coupons));
        window->search()->setText(u"1010001"_s);
        window->btsearchClick();
    }
    QString cell(int row, int column) const
    {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QString();
    }
    QStringList row(int row) const
    {
        QStringList cells;
        for (int column = 0; column < Coupons::ColumnCount; ++column)
            cells.append(cell(row, column));
        return cells;
    }
    void doubleclick(int row, int column)
    {
        // A press and release, then the double click itself, on the visible part of the cell.
        const QRect rect =
            grid->visualRect(grid->model()->index(row, column)).intersected(grid->viewport()->rect());
        Person::doubleclick(grid->viewport(), rect.center());
    }

    QTableWidget* grid = nullptr;
};

const QStringList smallrow{u"TC1"_s,        u"Coupon 7.5 €"_s, u"Imprimer"_s, u"Utiliser"_s,
                           u"31/12/2026"_s, u"7.5"_s,          u"11"_s};
const QStringList bigrow{u"TC2"_s,        u"Coupon 20 €"_s, u"Imprimer"_s, u"Utiliser"_s,
                         u"15/01/2027"_s, u"20"_s,          u"12"_s};
const QStringList emptyrow(Coupons::ColumnCount);

} // namespace

class TestCouponGrid : public QObject
{
    Q_OBJECT
private slots:
    void gridLayout()
    {
        Counter counter;
        QTableWidget* grid = counter.grid;
        QCOMPARE(grid->columnCount(), 7);
        QCOMPARE(grid->rowCount(), 2);
        for (int column : {0, 4, 5, 6})
            QVERIFY(grid->isColumnHidden(column));
        // The coupon's name takes what the two buttons leave: the grid never scrolls sideways.
        QCOMPARE(grid->columnWidth(1), grid->viewport()->width() - 140);
        QCOMPARE(grid->columnWidth(2), 70);
        QCOMPARE(grid->columnWidth(3), 70);
        QCOMPARE(grid->rowHeight(0), 24);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->toolTip(), u"info d'aide"_s);
        QVERIFY(!grid->isEnabled());
    }

    // Whatever the count (from three the scroll bar takes its width), each coupon's name reads
    // whole, its value included, and so do the two buttons; the grid never scrolls sideways.
    void couponValueReadable_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
        QTest::newRow("six") << 6;
    }
    void couponValueReadable()
    {
        QFETCH(int, count);
        Counter counter;
        QList<QByteArray> coupons;
        const QList<QByteArray> kinds{small, third, big};
        for (int i = 0; i < count; ++i)
            coupons.append(kinds.at(i % 3));
        counter.showmember(list(coupons));
        QTableWidget* grid = counter.grid;
        QCOMPARE(grid->rowCount(), count);
        QCoreApplication::processEvents();
        QCOMPARE(grid->verticalScrollBar()->isVisible(), count > 2);
        int width = 0;
        for (int column = 0; column < Coupons::ColumnCount; ++column)
            width += grid->isColumnHidden(column) ? 0 : grid->columnWidth(column);
        QCOMPARE(width, grid->viewport()->width());
        const QFontMetrics metrics(grid->font());
        const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
        for (int row = 0; row < count; ++row) {
            for (int column : {int(Coupons::Label), int(Coupons::Print), int(Coupons::Use)}) {
                const QString text = grid->item(row, column)->text();
                QVERIFY2(metrics.horizontalAdvance(text) + margins <= grid->columnWidth(column),
                         qPrintable(text + u" in "_s + QString::number(grid->columnWidth(column))));
            }
        }
    }

    void memberShownListsItsCoupons()
    {
        Counter counter;
        counter.showmember(list({small, big}));
        QCOMPARE(counter.server.requests().size(), 2);
        QCOMPARE(
            counter.requestlines().at(1),
            u"json_data={ \"Sent\":{\"type\":\"COUPON\",\"group\":{\"idExternal\":\"42\"},"
            "\"member\": { \"id\":\"7\"},\"or\":[{\"status1_is_null\": \"true\", \"status1\": \"false\"},"
            "{\"status2_is_null\": \"true\", \"status2\": \"false\"}],"
            "\"startDate_le\":\"2026-12-01 09:30:00\",\"endDate_gt\":\"2026-12-01 09:30:00\"}}"_s);
        QVERIFY(counter.grid->isEnabled());
        QCOMPARE(counter.grid->rowCount(), 2);
        QCOMPARE(counter.row(0), smallrow);
        QCOMPARE(counter.row(1), bigrow);
        QVERIFY(counter.dialogs.shown().isEmpty());

        // "Imprimer" silver and "Utiliser" green; the value cell keeps the grid's own look.
        const QImage image = counter.grid->viewport()->grab().toImage();
        const auto pixel = [&](int row, int column) {
            const QRect rect = counter.grid->visualRect(counter.grid->model()->index(row, column));
            return image.pixelColor(rect.topLeft() + QPoint(2, 2));
        };
        QCOMPARE(pixel(0, 2), QColor(192, 192, 192));
        QCOMPARE(pixel(1, 3), QColor(0, 128, 0));
        QVERIFY(pixel(0, 1) != QColor(0, 128, 0) && pixel(0, 1) != QColor(192, 192, 192));
    }

    void sentFillsRowZeroOnly()
    {
        Counter counter;
        counter.showmember(list({small, big, third}));
        QCOMPARE(counter.grid->rowCount(), 3);
        counter.server.enqueue(CaptureServer::ok(member));
        counter.server.enqueue(CaptureServer::ok("{\"Sent\":" + big + "}"));
        counter.window->btsearchClick();
        QCOMPARE(counter.grid->rowCount(), 3);
        QCOMPARE(counter.row(0), bigrow);
        QCOMPARE(counter.row(1), emptyrow);
        QCOMPARE(counter.row(2), emptyrow);

        // The hint follows the row under the pointer, empty rows included.
        QWidget* viewport = counter.grid->viewport();
        const auto moveto = [&](int row) {
            const QPoint at = counter.grid->visualRect(counter.grid->model()->index(row, 1)).center();
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            return counter.grid->toolTip();
        };
        QCOMPARE(moveto(0), u"Coupon 20 € valable jusqu'au 15/01/2027"_s);
        QCOMPARE(moveto(1), u"Coupon valable jusqu'au "_s);
    }

    void emptyListLeavesOneEmptyRow()
    {
        Counter counter;
        std::optional<Coupons::Coupon> printed;
        counter.window->coupons().setprintcoupon([&](const Coupons::Coupon& coupon) { printed = coupon; });
        counter.showmember(list({}));
        QCOMPARE(counter.grid->rowCount(), 1);
        QCOMPARE(counter.row(0), emptyrow);
        // No coupon: neither button does anything, nothing is asked or sent.
        counter.doubleclick(0, Coupons::Print);
        counter.doubleclick(0, Coupons::Use);
        QVERIFY(!printed);
        QVERIFY(counter.dialogs.shown().isEmpty());
        QCOMPARE(counter.server.requests().size(), 2);
    }

    void printHandsTheRowToTheTicket()
    {
        Counter counter;
        std::optional<Coupons::Coupon> printed;
        counter.window->coupons().setprintcoupon([&](const Coupons::Coupon& coupon) { printed = coupon; });
        counter.showmember(list({small, big}));
        counter.doubleclick(0, Coupons::Print);
        QVERIFY(printed);
        QCOMPARE(printed->trackcode, u"TC1"_s);
        QCOMPARE(printed->enddate, u"31/12/2026"_s);
        QCOMPARE(printed->value, u"7.5"_s);
        // Nothing goes to the platform and the grid stays.
        QCOMPARE(counter.server.requests().size(), 2);
        QCOMPARE(counter.row(1), bigrow);
    }

    // From the keyboard: Tab reaches the grid on the first coupon's "Utiliser", the arrows move
    // the cursor, Enter acts on the cell; a frame shows the cell over its coloured button.
    void keyboardReachesTheCoupons()
    {
        Counter counter;
        std::optional<Coupons::Coupon> printed;
        counter.window->coupons().setprintcoupon([&](const Coupons::Coupon& coupon) { printed = coupon; });
        counter.showmember(list({small, big}));
        QVERIFY(QTest::qWaitForWindowActive(counter.window.get()));
        QTableWidget* grid = counter.grid;
        Person::click(counter.window->search());
        Person::press(Qt::Key_Tab);
        Person::press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, Coupons::Use));
        const auto corner = [grid](int row, int column) {
            const QRect cell = grid->visualRect(grid->model()->index(row, column));
            return grid->viewport()->grab().toImage().pixelColor(cell.topLeft() + QPoint(1, 1));
        };
        const QColor frame(Qt::black);
        const QColor green(0, 128, 0);
        QCOMPARE(corner(0, Coupons::Use), frame);
        QCOMPARE(corner(1, Coupons::Use), green);

        Person::press(Qt::Key_Down);
        QCOMPARE(corner(0, Coupons::Use), green);
        QCOMPARE(corner(1, Coupons::Use), frame);
        Person::press(Qt::Key_Left);
        QCOMPARE(corner(1, Coupons::Print), frame);
        Person::press(Qt::Key_Return);
        QVERIFY(printed);
        QCOMPARE(printed->trackcode, u"TC2"_s);
        QCOMPARE(counter.server.requests().size(), 2);
        QCOMPARE(counter.dialogs.texts(), QStringList());
    }

    // An emptied grid keeps no highlighted cell, and the cursor left on a coupon of the customer
    // before never comes back: Tab reaches the next customer's coupons on the first "Utiliser".
    void emptiedGridKeepsNoCursor_data()
    {
        QTest::addColumn<int>("key");       // pressed through the counter window
        QTest::addColumn<QString>("typed"); // typed into the search field instead
        QTest::newRow("Client Suivant") << int(Qt::Key_F12) << QString();
        QTest::newRow("search text edited") << 0 << u"9"_s;
    }
    void emptiedGridKeepsNoCursor()
    {
        QFETCH(int, key);
        QFETCH(QString, typed);
        Counter counter;
        counter.window->coupons().setprintcoupon([](const Coupons::Coupon&) {});
        counter.showmember(list({small, big}));
        QVERIFY(QTest::qWaitForWindowActive(counter.window.get()));
        QTableWidget* grid = counter.grid;
        QWindow* window = counter.window->windowHandle();
        const QRect print = grid->visualRect(grid->model()->index(1, Coupons::Print));
        QTest::mouseClick(window, Qt::LeftButton, {},
                          grid->viewport()->mapTo(counter.window.get(), print.center()));
        QCOMPARE(grid->currentIndex(), grid->model()->index(1, Coupons::Print));
        QVERIFY(grid->selectionModel()->hasSelection());

        if (key) {
            QTest::keyClick(window, Qt::Key(key));
        } else {
            QTest::mouseClick(window, Qt::LeftButton, {},
                              counter.window->search()->mapTo(counter.window.get(), QPoint(5, 5)));
            QTest::keyClick(window, Qt::Key_End);
            QTest::keyClicks(QApplication::focusWidget(), typed);
        }
        QCOMPARE(counter.row(1), emptyrow);
        QVERIFY(!grid->currentIndex().isValid());
        QVERIFY(!grid->selectionModel()->hasSelection());

        counter.showmember(list({small, big}));
        QTest::mouseClick(window, Qt::LeftButton, {},
                          counter.window->search()->mapTo(counter.window.get(), QPoint(5, 5)));
        QTest::keyClick(window, Qt::Key_Tab);
        QTest::keyClick(window, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, Coupons::Use));
    }

    void printChoosesTheVoucherOfTheValue()
    {
        Counter counter;
        RecordingReportOutput output;
        counter.window->setreportoutput(&output);
        counter.showmember(list({small, big}));
        counter.doubleclick(0, Coupons::Print);
        counter.doubleclick(1, Coupons::Print);
        QCOMPARE(output.printed().size(), 2);
        QCOMPARE(output.printed().at(0).name(), u"Repcoupon750"_s);
        QCOMPARE(output.printed().at(0).text(u"trackcode"_s), u"TC1"_s);
        QCOMPARE(output.printed().at(1).name(), u"Repcoupon20"_s);
    }

    void useCoupon_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("eventreply");
        QTest::addColumn<QByteArray>("statusreply");
        QTest::addColumn<int>("puts");
        QTest::addColumn<QStringList>("told");

        const QByteArray ok = R"({"ApiReturn":{"code":"OK","message":"ok","id":"5"}})";
        const QByteArray refused = R"({"ApiReturn":{"code":"KO","errorCode":"13","errorMessage":"clos"}})";
        const QStringList asked{u"Confirmer utilisation coupon"_s};
        const QStringList notrecorded = asked + QStringList{Coupons::notrecordedmessage()};
        QTest::newRow("yes") << true << ok << ok << 2 << asked;
        QTest::newRow("no") << false << QByteArray() << QByteArray() << 0 << asked;
        QTest::newRow("event refused") << true << refused << QByteArray() << 1 << notrecorded;
        // The use is recorded; only its marking is not: never told "not recorded".
        QTest::newRow("status refused")
            << true << ok << refused << 2 << asked + QStringList{Reconciliation::statusnotconfirmedmessage()};
        // Turned away unread by the platform: certainly not recorded.
        QTest::newRow("event access refused")
            << true << QByteArray("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n") << QByteArray() << 1
            << notrecorded;
    }
    void useCoupon()
    {
        QFETCH(bool, yes);
        QFETCH(QByteArray, eventreply);
        QFETCH(QByteArray, statusreply);
        QFETCH(int, puts);
        QFETCH(QStringList, told);

        Counter counter;
        counter.showmember(list({small, big}));
        counter.grid->setFocus();
        counter.dialogs.script({yes});
        if (puts >= 1)
            counter.server.enqueue(eventreply.startsWith("HTTP/") ? CaptureServer::raw(eventreply)
                                                                  : CaptureServer::ok(eventreply));
        if (puts >= 2)
            counter.server.enqueue(CaptureServer::ok(statusreply));
        // The refresh: the member again and its coupons, the one used gone.
        counter.server.enqueue(CaptureServer::ok(member));
        counter.server.enqueue(CaptureServer::ok(list({big})));
        counter.doubleclick(1, Coupons::Use);

        QCOMPARE(counter.dialogs.texts(), told);
        QCOMPARE(counter.dialogs.shown().first().kind, u"question"_s);
        QList<QByteArray> methods{"POST", "POST"};
        for (int i = 0; i < puts; ++i)
            methods.append("PUT");
        methods << "POST"
                << "POST";
        QCOMPARE(counter.methods(), methods);
        const QList<QByteArray>& requests = counter.server.requests();
        if (puts >= 1)
            QCOMPARE(CaptureServer::bodyof(requests.at(2)),
                     QByteArray(R"(json_data={"AdEvent":{"type":"usedcoupon", "member":{"id":7},)"
                                R"("group":{"loadFromKeys":{"idExternal":"42" }},"fvalue":"20",)"
                                R"("comment":"TC2","cause":{"id":"12"}}})"));
        if (puts >= 2)
            QCOMPARE(CaptureServer::bodyof(requests.at(3)),
                     QByteArray(R"(json_data={"Sent":{"id":"12","status2":true,)"
                                R"("dateUpdateStatus2":"2026-12-01 09:30:00"}})"));
        // The member stays shown with the coupons as the platform now lists them.
        QVERIFY(!counter.window->state().idle());
        QCOMPARE(counter.grid->rowCount(), 1);
        QCOMPARE(counter.row(0), bigrow);
    }

    // The use does not reset the window: the sale being entered stays.
    void useKeepsTheSale()
    {
        Counter counter;
        counter.showmember(list({small}));
        counter.window->addpoint()->setText(u"25,8"_s);
        counter.window->edvendeur()->setText(u"AB"_s);
        counter.window->ednumvente()->setText(u"V12"_s);
        counter.dialogs.script({false});
        counter.server.enqueue(CaptureServer::ok(member));
        counter.server.enqueue(CaptureServer::ok(list({})));
        counter.doubleclick(0, Coupons::Use);
        QCOMPARE(counter.window->addpoint()->text(), u"25,8"_s);
        QCOMPARE(counter.window->edvendeur()->text(), u"AB"_s);
        QCOMPARE(counter.window->ednumvente()->text(), u"V12"_s);
        QCOMPARE(counter.row(0), emptyrow);
    }

    void couponLackingAKeyIsTold()
    {
        Counter counter;
        counter.showmember(list({small, R"({"trackCode":"TC2","fvalue":"20","id":"12"})", big}));
        QCOMPARE(counter.dialogs.shown().size(), 1);
        QCOMPARE(counter.dialogs.shown().first().kind, u"exception"_s);
        QCOMPARE(counter.dialogs.shown().first().text, u"Valeur 'endDate' introuvable"_s);
        QCOMPARE(counter.row(0), smallrow);
        QCOMPARE(counter.row(1), emptyrow);
        QVERIFY(!counter.window->state().idle());
    }

    // Nothing is filled; a reply that cannot be read is said, so it does not pass for "no coupon".
    void otherRepliesFillNothing_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("told");
        const QStringList unreadable{Coupons::unreadablemessage()};
        QTest::newRow("refusal") << QByteArray(R"({"ApiReturn":{"code":"KO","errorCode":"3008"}})")
                                 << QStringList();
        QTest::newRow("not JSON") << QByteArray("<html>panne</html>") << unreadable;
        QTest::newRow("list not an array") << QByteArray(R"({"list":"none"})") << unreadable;
    }
    void otherRepliesFillNothing()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, told);
        Counter counter;
        counter.showmember(reply);
        QCOMPARE(counter.grid->rowCount(), 2);
        QCOMPARE(counter.row(0), emptyrow);
        QCOMPARE(counter.dialogs.texts(), told);
        QVERIFY(!counter.window->state().idle());
    }
};

QTEST_MAIN(TestCouponGrid)
#include "tst_coupongrid.moc"
