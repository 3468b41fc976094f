#pragma once

#include "platform/ReportOutput.h"

#include <QPointer>

class QWidget;

// The application's output: the document in a modal, maximised print preview (which can itself
// print, export and zoom); when the preview closes, the print dialog on the default printer, one
// copy, all pages, and the document printed unless the dialog is cancelled.
class PreviewReportOutput final : public ReportOutput
{
public:
    explicit PreviewReportOutput(QWidget* parent = nullptr);

    bool print(const ReportLayout& layout) override;

private:
    QPointer<QWidget> m_parent;
};
