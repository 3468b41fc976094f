#include "settings/UpdateProgress.h"

#include "settings/ParametersWindow.h"

#include <QProgressBar>

#include <limits>

UpdateProgress::UpdateProgress(ParametersWindow& window) : m_window(window) {}

void UpdateProgress::showprogress()
{
    m_window.show();
    QProgressBar* bar = m_window.progressbar();
    bar->setRange(0, 0);
    bar->show();
}

void UpdateProgress::httpmajWorkBegin(qint64 expected)
{
    QProgressBar* bar = m_window.progressbar();
    m_unit = 1;
    if (expected <= 0) {
        // No length announced: a busy bar.
        bar->setRange(0, 0);
        return;
    }
    while (expected / m_unit > std::numeric_limits<int>::max())
        m_unit *= 1024;
    bar->setRange(0, int(expected / m_unit));
    bar->setValue(0);
}

void UpdateProgress::httpmajWork(qint64 count)
{
    QProgressBar* bar = m_window.progressbar();
    if (bar->maximum() > 0)
        bar->setValue(int(qMin<qint64>(count / m_unit, bar->maximum())));
}

void UpdateProgress::httpmajWorkEnd()
{
    m_window.progressbar()->hide();
}
