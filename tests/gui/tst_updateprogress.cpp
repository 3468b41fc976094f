#include "CaptureServer.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "settings/ParametersWindow.h"
#include "settings/Settings.h"
#include "settings/SettingsSession.h"
#include "settings/UpdateProgress.h"
#include "settings/Updater.h"

#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kquestion =
    u"Une nouvelle version est disponible\r\nVoulez vous installer la nouvelle version"_s;

// Records every box and answers Yes; runs `onquestion` when the question is asked.
class HookedDialogs final : public Dialogs
{
public:
    void information(const QString& text) override { recorded.information(text); }
    bool error(const QString& text) override { return recorded.error(text); }
    bool question(const QString& text) override
    {
        recorded.question(text);
        if (onquestion)
            onquestion();
        return true;
    }
    bool warning(const QString& text) override { return recorded.warning(text); }
    void exception(const QString& text) override { recorded.exception(text); }

    ScriptedDialogs recorded;
    std::function<void()> onquestion;
};

} // namespace

class TestUpdateProgress : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_work.isValid()); }

    // The bar of the parameters window follows the download: maximum the announced length,
    // position the bytes read; busy without a length; hidden at the end.
    void barFollowsTheDownload()
    {
        Settings settings(m_work.path());
        ScriptedDialogs dialogs;
        HttpClient counter(CounterClient::profile());
        SettingsSession session({settings, dialogs, counter});
        ParametersWindow window(session);
        QProgressBar* bar = window.findChild<QProgressBar*>(u"ProgressBar1"_s);
        QVERIFY(bar);
        UpdateProgress progress(window);

        progress.showprogress();
        QVERIFY(window.isVisible());
        QVERIFY(!window.isModal());
        QVERIFY(bar->isVisible());

        progress.httpmajWorkBegin(-1);
        QCOMPARE(bar->maximum(), 0); // busy
        progress.httpmajWork(500);
        QCOMPARE(bar->maximum(), 0);

        progress.httpmajWorkBegin(1000);
        QCOMPARE(bar->maximum(), 1000);
        QCOMPARE(bar->value(), 0);
        progress.httpmajWork(400);
        QCOMPARE(bar->value(), 400);

        // Beyond what the bar counts in an int: still from 0 to full.
        const qint64 big = qint64(5) * 1024 * 1024 * 1024;
        progress.httpmajWorkBegin(big);
        QVERIFY(bar->maximum() > 0);
        progress.httpmajWork(big / 2);
        QCOMPARE(bar->value(), bar->maximum() / 2);
        progress.httpmajWork(big);
        QCOMPARE(bar->value(), bar->maximum());

        progress.httpmajWorkEnd();
        QVERIFY(!bar->isVisible());
        QVERIFY(dialogs.shown().isEmpty());
    }

    // Yes, and the update server is gone by the time of the download: the bar disappears, nothing
    // is said, written or started.
    void serverGoneAtDownload()
    {
        auto server = std::make_unique<CaptureServer>();
        server->enqueue(CaptureServer::ok("1.5"));
        qputenv("QUILBA_UPDATE_URL", server->url(u"/updatequilba"_s).toUtf8());

        Settings settings(m_work.path());
        ReplyBuffer buffer;
        HookedDialogs dialogs;
        dialogs.onquestion = [&server] { server.reset(); };
        RecordingShell shell;
        HttpClient counter(CounterClient::profile());
        Updater updater(settings, buffer, dialogs, shell, counter);
        SettingsSession session({settings, dialogs, counter});
        ParametersWindow window(session);
        UpdateProgress progress(window);
        updater.setdisplay(&progress);
        updater.setinstaller(Updater::Installer::SetupProgram);

        updater.checkupdate();

        QVERIFY(!server);
        QCOMPARE(dialogs.recorded.texts(), QStringList{kquestion});
        QVERIFY(window.isVisible());
        QVERIFY(!window.findChild<QProgressBar*>(u"ProgressBar1"_s)->isVisible());
        QVERIFY(!QFile::exists(m_work.filePath(u"setup.exe"_s)));
        QVERIFY(shell.starts().isEmpty());
    }

private:
    QTemporaryDir m_work;
};

QTEST_MAIN(TestUpdateProgress)
#include "tst_updateprogress.moc"
