#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "app/Program.h"
#include "counter/CounterWindow.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "history/HistoryWindow.h"
#include "platform/Clock.h"
#include "settings/Switches.h"

#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The whole program started on a work folder whose settings point at the local platform.
class Started
{
public:
    explicit Started(const LocalPlatform& platform)
    {
        platform.preparework(m_work.path());
        program =
            std::make_unique<Program>(Switches({u"quilba"_s, u"-nocoupon"_s}), dialogs, m_shell, m_clock);
    }

    void showcard(const QString& card)
    {
        CounterWindow& w = program->counterwindow();
        w.search()->setFocus();
        w.search()->clear();
        QTest::keyClicks(w.search(), card);
        QTest::keyClick(w.search(), Qt::Key_Return);
    }
    void historique() { program->counterwindow().findChild<QToolButton*>(u"ToolButton3"_s)->click(); }

    ScriptedDialogs dialogs;
    std::unique_ptr<Program> program;

private:
    QTemporaryDir m_work;
    RecordingShell m_shell;
    SystemClock m_clock;
};

} // namespace

class TestHistoryPlatform : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_platform = std::make_unique<LocalPlatform>();
        QVERIFY2(m_platform->started(), qPrintable(m_platform->error()));
    }
    void cleanup() { m_platform.reset(); }

    // A long-standing customer: every sale, points line and coupon of the reply is listed, newest
    // first.
    void longHistoryNewestFirst()
    {
        Started counter(*m_platform);
        counter.showcard(u"1010006"_s);
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
        Started counter(*m_platform);
        counter.showcard(u"1010005"_s);
        counter.historique();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QVERIFY(counter.program->historywindow().isVisible());
        QCOMPARE(counter.program->datamodule().historique().rowCount(), 1);
        counter.program->historywindow().close();

        counter.showcard(u"1010003"_s);
        counter.historique();
        QCOMPARE(counter.dialogs.texts(), QStringList{u"Il n'y a pas d'historique pour ce client"_s});
        QVERIFY(!counter.program->historywindow().isVisible());
    }

private:
    std::unique_ptr<LocalPlatform> m_platform;
};

QTEST_MAIN(TestHistoryPlatform)
#include "tst_history_platform.moc"
