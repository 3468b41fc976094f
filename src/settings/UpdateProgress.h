#pragma once

#include "settings/Updater.h"

class ParametersWindow;

// The download of a new version as the parameters window shows it: the window shown (not modal),
// `ProgressBar1` following the bytes read, hidden when the reading ends. Without an announced
// length the bar shows that work goes on, without a position.
class UpdateProgress final : public Updater::Display
{
public:
    explicit UpdateProgress(ParametersWindow& window);

    void showprogress() override;
    void httpmajWorkBegin(qint64 expected) override;
    void httpmajWork(qint64 count) override;
    void httpmajWorkEnd() override;

private:
    ParametersWindow& m_window;
    // Byte counts are divided by this to fit the bar's int range.
    qint64 m_unit = 1;
};
