#include "RecordingShell.h"

void RecordingShell::startinstaller(const QString& program, const QString& arguments)
{
    m_starts.append({program, arguments});
}
