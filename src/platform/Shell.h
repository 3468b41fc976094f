#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the program asks of the desktop: open a web page in the browser, start the downloaded
// setup program, hand a downloaded package to the system's package installer. The application
// uses SystemShell; tests record the calls.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens the address in the default browser.
    virtual void openurl(const QUrl& url) = 0;
    // Starts the program file with its arguments, detached; its outcome is not examined.
    virtual void startinstaller(const QString& program, const QString& arguments) = 0;
    // Hands a checked Debian package (an absolute path) to the system's package installer, which
    // asks for an administrator; the file itself is never run. Its outcome is not examined.
    virtual void installpackage(const QString& package) = 0;
};
