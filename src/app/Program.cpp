#include "app/Program.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/LogFile.h"
#include "api/QuilbaError.h"
#include "app/LogWindow.h"
#include "app/WaitIndicator.h"
#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/MemberEditing.h"
#include "data/DataModule.h"
#include "history/HistoryWindow.h"
#include "members/EnrolmentForm.h"
#include "members/MemberChoiceDialog.h"
#include "members/MemberSession.h"
#include "outbox/KeptSales.h"
#include "outbox/KeptSalesWindow.h"
#include "outbox/OutboxWatch.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "report/PdfReportOutput.h"
#include "report/PreviewReportOutput.h"
#include "sender/KeptSending.h"
#include "settings/ParametersWindow.h"
#include "settings/SettingsSession.h"
#include "settings/UpdateProgress.h"
#include "settings/Updater.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

Program::Program(const Switches& switches, Dialogs& dialogs, Shell& shell, Clock& clock)
    : m_switches(switches), m_dialogs(dialogs), m_shell(shell), m_clock(clock)
{
    // The log window's text box starts with its designed text; the first reply replaces it.
    m_buffer.settext(QStringLiteral("Memo1"));
    const auto url = [this] { return m_settings.url(); };

    create([&] {
        m_counterclient = std::make_unique<CounterClient>(m_buffer, url);
        if (m_switches.kestrel())
            m_counterclient->client().setproxy(kestrelproxy());
        m_counterWindow = std::make_unique<CounterWindow>(CounterWindow::Context{
            *m_counterclient, m_buffer, m_settings, m_dialogs, m_shell, m_clock, m_switches});
        connect(m_counterWindow.get(), &CounterWindow::closed, this, &Program::finished);
        const QString printfolder = PdfReportOutput::environmentfolder();
        if (printfolder.isEmpty())
            m_reportoutput = std::make_unique<PreviewReportOutput>(m_counterWindow.get());
        else
            m_reportoutput = std::make_unique<PdfReportOutput>(printfolder);
        m_counterWindow->setreportoutput(m_reportoutput.get());
        m_counterWindow->show();
        // Painted at once: the rest of start-up (the settings, the update check) happens in front
        // of it. Input waits for the event loop, when every window exists.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    create([&] {
        m_formmember = std::make_unique<EnrolmentForm>(m_dialogs, m_clock, m_counterWindow.get());
        m_formmember->setreportoutput(m_reportoutput.get());
        m_formmember->setpharmacie([this] { return m_settings.getpharmacie(); });
        m_memberediting = std::make_unique<MemberEditing>(m_counterWindow->session(), *m_formmember);
        connect(m_counterWindow.get(), &CounterWindow::adhesionrequested, this, [this] {
            m_counterWindow->showoutcome(m_memberediting->adhesion(m_counterWindow->seller()));
        });
        connect(m_counterWindow.get(), &CounterWindow::modificationrequested, this,
                [this] { m_memberediting->modification(m_counterWindow->seller()); });
    });
    create([&] {
        m_formlog = std::make_unique<LogWindow>(m_buffer);
        if (m_switches.debug())
            m_formlog->show();
    });
    create([&] { m_dataModule = std::make_unique<DataModule>(); });
    create([&] {
        m_choixmembre =
            std::make_unique<MemberChoiceDialog>(m_dataModule->listeMembre(), m_counterWindow.get());
        m_counterWindow->setchoixmembre(m_choixmembre.get());
    });
    create([&] {
        m_formhisto =
            std::make_unique<HistoryWindow>(m_dataModule->historique(), m_dialogs, m_counterWindow.get());
        connect(m_counterWindow.get(), &CounterWindow::historiquerequested, m_formhisto.get(),
                [this] { m_formhisto->historiquerequested(m_counterWindow->state().eventlist()); });
    });
    create([&] {
        m_updater =
            std::make_unique<Updater>(m_settings, m_buffer, m_dialogs, m_shell, m_counterclient->client());
        m_settingssession = std::make_unique<SettingsSession>(
            SettingsSession::Context{m_settings, m_dialogs, m_counterclient->client(), m_updater.get()});
        // "Annuler" on incomplete settings once the program runs: the program ends as soon as the
        // window has closed. During start-up main() sees endrequested() instead.
        connect(m_settingssession.get(), &SettingsSession::endapplication, this, [this] {
            if (m_running)
                QMetaObject::invokeMethod(
                    m_counterWindow.get(), [this] { m_counterWindow->close(); }, Qt::QueuedConnection);
        });
        m_formparams = std::make_unique<ParametersWindow>(*m_settingssession, m_counterWindow.get());
        connect(m_counterWindow.get(), &CounterWindow::parametresrequested, m_formparams.get(),
                &QDialog::exec);
        m_updateprogress = std::make_unique<UpdateProgress>(*m_formparams);
        m_updater->setdisplay(m_updateprogress.get());
        m_formparams->formcreate();
    });
    create([&] {
        if (m_switches.log()) {
            m_logfile = std::make_unique<LogFile>(LogFile::pathin(m_settings.applicationdata()));
            const QString failure = m_logfile->open();
            if (!failure.isEmpty())
                m_dialogs.exception(failure);
        }
        m_connexion = std::make_unique<Connection>(m_counterclient->client(), m_buffer, url, m_logfile.get());
        // Every client of the platform sends the credentials last validated: a corrected password
        // reaches the member saves without a restart.
        if (m_settingssession)
            m_settingssession->addclient(m_connexion->client());
        m_membersession = std::make_unique<MemberSession>(
            MemberSession::Context{*m_connexion, *m_counterclient, m_settings, m_dialogs, m_clock});
        if (m_formmember)
            m_formmember->setsession(m_membersession.get());
    });
    create([&] {
        const QString path = KeptSales::pathin(m_settings.applicationdata());
        m_keptsales = std::make_unique<KeptSales>(path, m_clock);
        m_counterWindow->session().setkeptsales(m_keptsales.get());
        // The enrolments and member changes not known yet are settled by the counter's lookups too.
        if (m_membersession) {
            m_membersession->setoutbox(m_keptsales.get());
            m_counterWindow->session().setmemberread([this](const JsonValue& member, const QDateTime& asked) {
                return m_membersession->settleread(member, asked);
            });
        }
        m_keptsending = std::make_unique<KeptSending>(path, m_clock);
        connect(m_keptsending.get(), &KeptSending::roundended, &m_counterWindow->session(),
                &CounterSession::refreshkept);
        // Another counter, or the sender, changed the file: the counts follow within seconds.
        m_outboxwatch = std::make_unique<OutboxWatch>(*m_keptsales);
        connect(m_outboxwatch.get(), &OutboxWatch::changed, &m_counterWindow->session(),
                &CounterSession::refreshkept);
        connect(m_counterWindow.get(), &CounterWindow::keptsalesrequested, this, &Program::showkept);
        // A request that reached the platform: the kept sales can follow, and the writes to
        // confirm be settled.
        m_counterclient->setreached([this] {
            const CounterShown& shown = m_counterWindow->session().shown();
            if (shown.kept > 0 || !shown.confirming.isEmpty())
                sendkept();
        });
        sendkept();
    });
    create([&] {
        m_waitindicator = std::make_unique<WaitIndicator>(m_counterWindow.get());
        m_counterclient->client().setwaitobserver(m_waitindicator.get());
        m_connexion->client().setwaitobserver(m_waitindicator.get());
    });
    m_running = true;
}

Program::~Program()
{
    // Windows first (they may refer to the clients), then the clients and the log file.
    if (m_counterclient)
        m_counterclient->client().setwaitobserver(nullptr);
    if (m_connexion)
        m_connexion->client().setwaitobserver(nullptr);
    // The sender first: its request running ends, its sale goes back to the list.
    if (m_counterclient)
        m_counterclient->setreached({});
    m_keptsending.reset();
    m_waitindicator.reset();
    m_updater.reset();
    m_updateprogress.reset();
    m_formparams.reset();
    m_settingssession.reset();
    m_formhisto.reset();
    m_choixmembre.reset();
    m_memberediting.reset();
    m_formmember.reset();
    m_formlog.reset();
    m_counterWindow.reset();
    m_reportoutput.reset();
}

void Program::sendkept()
{
    if (!m_keptsending)
        return;
    HttpClient& client = m_counterclient->client();
    m_keptsending->sendnow({m_settings.url(), client.customheaders(), client.proxy(), m_settings.idpharma()});
}

void Program::showkept()
{
    KeptSalesWindow window(*m_keptsales, m_dialogs, m_counterWindow.get());
    connect(&window, &KeptSalesWindow::changed, &m_counterWindow->session(), &CounterSession::refreshkept);
    window.reload();
    window.exec();
    m_counterWindow->session().refreshkept();
}

bool Program::endrequested() const
{
    return m_settingssession && m_settingssession->endrequested();
}

HttpProxy Program::kestrelproxy()
{
    return {QStringLiteral("proxy.kestrel.lan"), 8080, QStringLiteral("QUILBAP"), QStringLiteral("kstr2024")};
}

void Program::prepareapplication()
{
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(french, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    Fonts::install();
}

void Program::create(const std::function<void()>& step)
{
    try {
        step();
    } catch (const QuilbaError& error) {
        m_dialogs.exception(error.message());
    } catch (const std::exception& error) {
        m_dialogs.exception(QString::fromUtf8(error.what()));
    }
}
