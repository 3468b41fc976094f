#pragma once

#include "platform/Shell.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Shell for tests: records the pages opened, the installers started and the packages handed
// over, and does none of it.
class RecordingShell final : public Shell
{
public:
    struct Start
    {
        QString program;
        QString arguments;
    };

    void openurl(const QUrl& url) override { m_urls.append(url); }
    void startinstaller(const QString& program, const QString& arguments) override;
    void installpackage(const QString& package) override { m_packages.append(package); }

    const QList<QUrl>& urls() const { return m_urls; }
    const QList<Start>& starts() const { return m_starts; }
    const QStringList& packages() const { return m_packages; }

private:
    QList<QUrl> m_urls;
    QList<Start> m_starts;
    QStringList m_packages;
};
