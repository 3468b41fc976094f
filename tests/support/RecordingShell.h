#pragma once

#include "platform/Shell.h"

#include <QList>
#include <QString>
#include <QUrl>

// Shell for tests: records the pages opened and the installers started, and does neither.
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

    const QList<QUrl>& urls() const { return m_urls; }
    const QList<Start>& starts() const { return m_starts; }

private:
    QList<QUrl> m_urls;
    QList<Start> m_starts;
};
