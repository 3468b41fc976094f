#pragma once

#include "platform/ReportOutput.h"
#include "report/ReportLayout.h"

#include <QList>

// ReportOutput for tests: keeps a copy of every document printed, as it was filled.
class RecordingReportOutput final : public ReportOutput
{
public:
    bool print(const ReportLayout& layout) override;

    const QList<ReportLayout>& printed() const { return m_printed; }
    void clear() { m_printed.clear(); }

private:
    QList<ReportLayout> m_printed;
};
