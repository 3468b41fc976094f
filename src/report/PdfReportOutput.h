#pragma once

#include "platform/ReportOutput.h"

#include <QString>

// Writes every printed document to a PDF file of its own in a folder: "<layout>-<n>.pdf", n
// the first number not yet taken.
class PdfReportOutput final : public ReportOutput
{
public:
    explicit PdfReportOutput(QString folder);

    // The folder named by QUILBA_PRINT_DIR; empty when it is not set.
    static QString environmentfolder();

    bool print(const ReportLayout& layout) override;

    const QString& folder() const { return m_folder; }
    // The file of the last document written; empty before the first.
    const QString& lastfile() const { return m_lastfile; }

private:
    QString m_folder;
    QString m_lastfile;
};
