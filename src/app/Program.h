#pragma once

#include "api/ReplyBuffer.h"
#include "settings/Settings.h"
#include "settings/Switches.h"

#include <QObject>
#include <functional>
#include <memory>

class Clock;
class Connection;
class CounterClient;
class CounterWindow;
class DataModule;
class Dialogs;
class EnrolmentForm;
class HistoryWindow;
class KeptSales;
class KeptSending;
class OutboxWatch;
class LogFile;
class LogWindow;
class MemberChoiceDialog;
class MemberEditing;
class MemberSession;
class ParametersWindow;
class ReportOutput;
class SettingsSession;
class Shell;
class UpdateProgress;
class WaitIndicator;
class Updater;

// The whole program: creates every window once, in a fixed order, before the event loop runs,
// and keeps them until the counter window closes.
//  1 counter window   configures the counter client (headers, proxy with "kestrel")
//  2 enrolment form
//  3 log window       shown with "debug"
//  4 data module      the shared tables
//  5 choice dialog
//  6 history window
//  7 parameters       its session reads the settings, builds the Authorization header and checks
//                     for a new version, or the window asks for the settings
//  8 connection       copies the counter client's proxy and headers, opens the log with "log";
//                     the member session saves through it
//  9 outbox           the writes not known yet and the sales kept while the platform was away,
//                     in the work folder, and their sender, which starts a round at once
class Program final : public QObject
{
    Q_OBJECT
public:
    Program(const Switches& switches, Dialogs& dialogs, Shell& shell, Clock& clock);
    ~Program() override;

    // The user asked to end during start-up: the event loop must not run.
    bool endrequested() const;

    const Switches& switches() const { return m_switches; }
    ReplyBuffer& buffer() { return m_buffer; }
    Settings& settings() { return m_settings; }
    CounterClient& counterclient() { return *m_counterclient; }
    Connection& connexion() { return *m_connexion; }
    MemberSession& membersession() { return *m_membersession; }
    CounterWindow& counterwindow() { return *m_counterWindow; }
    DataModule& datamodule() { return *m_dataModule; }
    MemberChoiceDialog& choixmembre() { return *m_choixmembre; }
    LogWindow& logwindow() { return *m_formlog; }
    HistoryWindow& historywindow() { return *m_formhisto; }
    ParametersWindow& parameterswindow() { return *m_formparams; }
    EnrolmentForm& formmember() { return *m_formmember; }
    Updater& updater() { return *m_updater; }

    // The fixed corporate proxy of the switch "kestrel".
    static HttpProxy kestrelproxy();
    // Application-wide set-up before the first window: Qt's French texts ("Oui", "Non",
    // "Annuler"), and the fonts the windows and tickets are drawn with.
    static void prepareapplication();

signals:
    // The counter window was closed: the program ends.
    void finished();

private:
    // The kept sales go to the platform now, with the settings as they are.
    void sendkept();
    // "N ventes en attente d'envoi": their list.
    void showkept();
    // Runs one creation step; an error is shown in the standard error box and start-up goes on.
    void create(const std::function<void()>& step);

    // Start-up is over: the event loop runs (or is about to).
    bool m_running = false;
    Switches m_switches;
    Dialogs& m_dialogs;
    Shell& m_shell;
    Clock& m_clock;
    ReplyBuffer m_buffer;
    Settings m_settings;
    std::unique_ptr<CounterClient> m_counterclient;
    // Where the tickets go: PDF files in the folder of QUILBA_PRINT_DIR when it is set, else the
    // preview then the print dialog. Declared before the counter window, which prints through it,
    // so it outlives the window.
    std::unique_ptr<ReportOutput> m_reportoutput;
    std::unique_ptr<CounterWindow> m_counterWindow;
    std::unique_ptr<EnrolmentForm> m_formmember;
    std::unique_ptr<LogWindow> m_formlog;
    std::unique_ptr<DataModule> m_dataModule;
    std::unique_ptr<MemberChoiceDialog> m_choixmembre;
    std::unique_ptr<HistoryWindow> m_formhisto;
    // "ADHESION" and "MODIFICATION": the enrolment form on the counter's member.
    std::unique_ptr<MemberEditing> m_memberediting;
    std::unique_ptr<Updater> m_updater;
    // Start-up, "Valider" and "Annuler" of the parameters window; declared before the window,
    // which refers to it.
    std::unique_ptr<SettingsSession> m_settingssession;
    std::unique_ptr<ParametersWindow> m_formparams;
    std::unique_ptr<UpdateProgress> m_updateprogress;
    std::unique_ptr<LogFile> m_logfile;
    std::unique_ptr<Connection> m_connexion;
    // The enrolment form's saves, through the connection holder; the form refers to it.
    std::unique_ptr<MemberSession> m_membersession;
    std::unique_ptr<KeptSales> m_keptsales;
    std::unique_ptr<KeptSending> m_keptsending;
    std::unique_ptr<OutboxWatch> m_outboxwatch;
    // Shows the waits of the counter client and the connection holder; declared last, so that
    // it goes first.
    std::unique_ptr<WaitIndicator> m_waitindicator;
};
