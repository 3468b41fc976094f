#pragma once

#include "platform/Shell.h"

// The real desktop: the browser through QDesktopServices, the setup program started detached, and
// an update installed by the package's own installer, which pkexec runs once an administrator has
// agreed.
class SystemShell final : public Shell
{
public:
    // installer: the package's update installer; path: the folders where pkexec is looked for
    // (the system's search path when empty).
    explicit SystemShell(QString installer = defaultinstaller(), QStringList path = {});

    void openurl(const QUrl& url) override;
    void startinstaller(const QString& program, const QString& arguments) override;
    UpdateRun installupdate(const QStringList& arguments,
                            const std::function<void(const QByteArray& line)>& line) override;

    // Where the package puts the installer, beside the program: <prefix>/bin/quilba,
    // <prefix>/libexec/quilba/quilba-update.
    static QString defaultinstaller();

private:
    QString m_installer;
    QStringList m_path;
};
