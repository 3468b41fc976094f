#pragma once

#include "platform/Shell.h"

// The real desktop: the browser through QDesktopServices, the setup program started detached, a
// package handed to `pkexec apt-get install` or, without pkexec, to the desktop's program for
// Debian packages.
class SystemShell final : public Shell
{
public:
    void openurl(const QUrl& url) override;
    void startinstaller(const QString& program, const QString& arguments) override;
    void installpackage(const QString& package) override;

    // The command that installs a package with an administrator's consent: pkexec running
    // apt-get, found in `path` (the system's search path when empty). Empty when either is missing.
    static QStringList packagecommand(const QString& package, const QStringList& path = {});
};
