#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// How the system's run of the package's update installer ended.
struct UpdateRun
{
    enum class Ended
    {
        // The installer ran; `code` is its exit status.
        Finished,
        // The administrator's question was dismissed: nothing ran.
        Declined,
        // The system did not authorise it (no administrator's password, no one to ask).
        NotAuthorised,
        // No means of asking for an administrator (pkexec) on this system.
        NoElevation,
        // The installer is not where the package puts it.
        NoInstaller,
        // It could not be started, or stopped without an exit status.
        Broken
    };
    Ended ended = Ended::Broken;
    int code = 0;
};

// What the program asks of the desktop: open a web page in the browser, start the downloaded
// setup program, have the system install an update. The application uses SystemShell; tests
// record the calls.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens the address in the default browser.
    virtual void openurl(const QUrl& url) = 0;
    // Starts the program file with its arguments, detached; its outcome is not examined.
    virtual void startinstaller(const QString& program, const QString& arguments) = 0;
    // Asks the system to run the package's own update installer as an administrator, with these
    // arguments (texts only, never a file of ours), and waits for it while the windows keep
    // painting; each line it writes on its output is handed to `line` as it comes.
    virtual UpdateRun installupdate(const QStringList& arguments,
                                    const std::function<void(const QByteArray& line)>& line) = 0;
};
