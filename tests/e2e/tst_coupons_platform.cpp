#include "RunningProgram.h"

#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/CouponGrid.h"
#include "counter/Coupons.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The whole program on the local platform, with the coupon grid read.
class Counter final : public RunningProgram
{
public:
    using RunningProgram::RunningProgram;

    QTableWidget* grid() { return window().listecoupons(); }
    QString cell(int row, int column)
    {
        const QTableWidgetItem* item = grid()->item(row, column);
        return item ? item->text() : QString();
    }
    // The row holding the coupon of that value, or -1.
    int rowof(double value)
    {
        for (int row = 0; row < grid()->rowCount(); ++row) {
            bool number = false;
            const double read = cell(row, Coupons::Value).toDouble(&number);
            if (number && read == value && !cell(row, Coupons::Id).isEmpty())
                return row;
        }
        return -1;
    }
};

} // namespace

class TestCouponsPlatform : public QObject
{
    Q_OBJECT
private slots:
    void usedCouponLeavesTheList()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Counter counter(platform);
        counter.window().search()->setText(u"1010001"_s);
        counter.window().btsearchClick();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));

        const int row = counter.rowof(7.5);
        QVERIFY(row >= 0);
        QCOMPARE(counter.cell(row, Coupons::Use), u"Utiliser"_s);
        const QString id = counter.cell(row, Coupons::Id);
        const QString track = counter.cell(row, Coupons::TrackCode);

        counter.grid()->setCurrentCell(row, Coupons::Use);
        counter.window().coupons().listecouponsDblClick();
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Confirmer utilisation coupon"_s});
        QCOMPARE(counter.rowof(7.5), -1);
        QVERIFY(!counter.window().state().idle());

        // The member's events, as the refresh brought them, hold the use of that coupon.
        const std::optional<JsonValue>& events = counter.window().state().eventlist();
        QVERIFY(events);
        const JsonValue* list = events->find("list");
        QVERIFY(list);
        bool found = false;
        for (const JsonValue& event : list->items()) {
            const JsonValue* type = event.find("type");
            const JsonValue* cause = event.find("cause");
            const JsonValue* comment = event.find("comment");
            if (type && type->text() == u"usedcoupon"_s && cause && cause->find("id") &&
                QString::fromLatin1(cause->find("id")->bytes()) == id && comment && comment->text() == track)
                found = true;
        }
        QVERIFY2(found, events->tojson().constData());
    }
};

QTEST_MAIN(TestCouponsPlatform)
#include "tst_coupons_platform.moc"
