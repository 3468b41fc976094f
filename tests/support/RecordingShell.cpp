#include "RecordingShell.h"

void RecordingShell::startinstaller(const QString& program, const QString& arguments)
{
    m_starts.append({program, arguments});
}

UpdateRun RecordingShell::installupdate(const QStringList& arguments,
                                        const std::function<void(const QByteArray& line)>& line)
{
    m_updates.append(arguments);
    for (const QByteArray& text : m_lines)
        line(text);
    return m_run;
}
