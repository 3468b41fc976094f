#include "PlatformTest.h"
#include "RunningProgram.h"

#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterWindow.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "history/HistoryWindow.h"

#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// The whole program without the coupon query, so that the reply buffer keeps the member reply.
class Counter final : public RunningProgram
{
public:
    explicit Counter(LocalPlatform& platform) : RunningProgram(platform, {u"-nocoupon"_s}) {}

    void historique() { window().findChild<QToolButton*>(u"ToolButton3"_s)->click(); }
};

} // namespace

class TestHistoryPlatform : public PlatformTest
{
    Q_OBJECT
private slots:
    // A long-standing customer: every sale, points line and coupon of the reply is listed, newest
    // first.
    void longHistoryNewestFirst()
    {
        Counter counter(*m_platform);
        counter.search(u"1010006"_s);
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        counter.historique();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        HistoryWindow& w = counter.program->historywindow();
        QVERIFY(w.isVisible());
        const MemoryTable& table = counter.program->datamodule().historique();
        // With "nocoupon" the member reply is the last reply.
        const std::optional<JsonValue> reply = parsejson(counter.program->buffer().bytes());
        QVERIFY(reply);
        const JsonValue* list = reply->find("FidelityMember")->find("event")->find("list");
        QVERIFY(list && list->items().size() >= 500);
        int listed = 0;
        for (const JsonValue& event : list->items()) {
            const QByteArray type = event.find("type")->bytes();
            listed += type == "addCA" || type == "addPoint" || type == "COUPON" ? 1 : 0;
        }
        QCOMPARE(table.rowCount(), listed);
        for (int row = 1; row < table.rowCount(); ++row)
            QVERIFY2(table.value(row - 1, u"uDate"_s).toString() >= table.value(row, u"uDate"_s).toString(),
                     qPrintable(QString::number(row)));
        const QString newest = table.value(0, u"uDate"_s).toString();
        QCOMPARE(table.value(0, u"Date"_s).toString(), newest.mid(8, 2) % u'/' % newest.mid(5, 2) % u'/' %
                                                           newest.left(4) % u' ' % newest.mid(11, 5));
        QCOMPARE(w.DBGrid1()->currentIndex().row(), 0);
        w.close();
        QCOMPARE(table.rowCount(), 0);
    }

    void singleAndNoEvent()
    {
        Counter counter(*m_platform);
        counter.search(u"1010005"_s);
        counter.historique();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QVERIFY(counter.program->historywindow().isVisible());
        QCOMPARE(counter.program->datamodule().historique().rowCount(), 1);
        counter.program->historywindow().close();

        counter.search(u"1010003"_s);
        counter.historique();
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Il n'y a pas d'historique pour ce client"_s});
        QVERIFY(!counter.program->historywindow().isVisible());
    }
};

QTEST_MAIN(TestHistoryPlatform)
#include "tst_history_platform.moc"
