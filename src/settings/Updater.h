#pragma once

#include "api/HttpClient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class Dialogs;
class ReplyBuffer;
class Settings;
class Shell;

// The self-update: once per run, at start, asks the update server which version is current and,
// when it is newer than this program and the user agrees, installs it. The update server holds,
// under the settings' `urlupdate`, "version.html" (the version as dotted numbers), "setup.exe" for
// Windows, downloaded into the work folder and started, and "debian/", the signed Debian
// repository that the package's own installer takes the new version from (PackageUpdate).
class Updater final
{
public:
    // How a downloaded version is installed.
    enum class Installer
    {
        // setup.exe, started with the setup arguments (Windows).
        SetupProgram,
        // The package's installer, run by the system as an administrator, takes the offered
        // version from the update location's signed repository; nothing is downloaded here.
        DebianRepository
    };

    // The parameters window's side of the download or of the installation: the window shown with
    // its progress bar.
    class Display
    {
    public:
        virtual ~Display() = default;
        // The window shown, not modal, with its progress bar visible.
        virtual void showprogress() = 0;
        // The reading of the reply starts (again, when the announced length becomes known):
        // maximum = expected byte count, position 0. expected -1: no length announced. The
        // installation from the repository counts in percent: maximum 100.
        virtual void httpmajWorkBegin(qint64 expected) = 0;
        // Bytes read so far, or percent done.
        virtual void httpmajWork(qint64 count) = 0;
        // The reading or the installation has ended, whatever its outcome: the bar is hidden.
        virtual void httpmajWorkEnd() = 0;
    };

    // proxysource: the counter client, whose proxy settings are copied before each check.
    Updater(const Settings& settings, ReplyBuffer& buffer, Dialogs& dialogs, Shell& shell,
            const HttpClient& proxysource);

    void setdisplay(Display* display) { m_display = display; }
    // The system's way by default: the setup program on Windows, the Debian repository elsewhere.
    void setinstaller(Installer installer) { m_installer = installer; }
    Installer installer() const { return m_installer; }
    HttpClient& httpmaj() { return m_httpmaj; }

    // Asks the update server for the current version; offers the update when it is newer.
    // "Erreur Connexion plateforme mise à jour" when the server cannot be asked; silent otherwise.
    void checkupdate();
    // Installs the version the last check offered. setup.exe: downloaded into the work folder and
    // started; a failed, empty or incomplete download is neither written nor started, and nothing
    // is said. Debian: the system is asked to run the package's installer for that version, the
    // bar following its progress; the pharmacist is told how it ended, unless the administrator's
    // question was dismissed.
    void installupdate();

    // The program's own version: its major and minor numbers ("1.4").
    static QString ownversion();
    // A version is one or more decimal numbers joined by "." (blanks and line breaks around it do
    // not count). Anything else (an error page, an empty text, letters) is not a version.
    static bool isversion(QByteArrayView text);
    // Compares two versions number by number: "1.10" is after "1.4", "1.4" equals "1.4.0".
    // Negative, zero or positive. Both must be versions.
    static int compareversions(QByteArrayView a, QByteArrayView b);
    // The remote text is a version and a newer one than `own`.
    static bool isnewer(QByteArrayView remote, const QString& own);
    // The setup program's command line: silent install into `programfolder` (with its final
    // separator), closing and restarting the running program.
    static QString setuparguments(const QString& programfolder);
    // The folder of the program's executable, with its final separator, in the system's form.
    static QString programfolder();

    static HttpClient::Profile profile();

private:
    QString location(const QString& file) const;
    // Downloads a file of the update location into memory, the progress bar following it; the
    // reply is ok only when it is whole and not empty.
    HttpReply download(const QString& file);
    void installsetup();
    void installfromrepository();

    HttpClient m_httpmaj;
    const Settings& m_settings;
    ReplyBuffer& m_buffer;
    Dialogs& m_dialogs;
    Shell& m_shell;
    const HttpClient& m_proxysource;
    Display* m_display = nullptr;
#ifdef Q_OS_WIN
    Installer m_installer = Installer::SetupProgram;
#else
    Installer m_installer = Installer::DebianRepository;
#endif
    // The version the last check offered, as the server wrote it.
    QByteArray m_offered;
};
