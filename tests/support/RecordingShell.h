#pragma once

#include "platform/Shell.h"

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Shell for tests: records the pages opened, the installers started and the updates asked of the
// system, and does none of it. An update answers what the test scripted: the installer's lines,
// then how it ended (by default, installed).
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
    UpdateRun installupdate(const QStringList& arguments,
                            const std::function<void(const QByteArray& line)>& line) override;

    void scriptupdate(const QByteArrayList& lines, UpdateRun run)
    {
        m_lines = lines;
        m_run = run;
    }

    const QList<QUrl>& urls() const { return m_urls; }
    const QList<Start>& starts() const { return m_starts; }
    const QList<QStringList>& updates() const { return m_updates; }

private:
    QList<QUrl> m_urls;
    QList<Start> m_starts;
    QList<QStringList> m_updates;
    QByteArrayList m_lines;
    UpdateRun m_run{UpdateRun::Ended::Finished, 0};
};
