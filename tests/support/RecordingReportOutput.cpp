#include "RecordingReportOutput.h"

bool RecordingReportOutput::print(const ReportLayout& layout)
{
    m_printed.append(layout);
    return true;
}
