#pragma once

#include "platform/Shell.h"

// The real desktop: the browser through QDesktopServices, the installer marked executable and
// started detached.
class SystemShell final : public Shell
{
public:
    void openurl(const QUrl& url) override;
    void startinstaller(const QString& program, const QString& arguments) override;
};
