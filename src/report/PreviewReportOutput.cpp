#include "report/PreviewReportOutput.h"

#include "report/ReportLayout.h"
#include "report/ReportPainter.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

PreviewReportOutput::PreviewReportOutput(QWidget* parent) : m_parent(parent) {}

bool PreviewReportOutput::print(const ReportLayout& layout)
{
    // A new printer on the default printer: nothing of an earlier preview is kept.
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(layout.name());
    printer.setPageLayout(layout.pagelayout());

    {
        QPrintPreviewDialog preview(&printer, m_parent);
        preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&layout](QPrinter* target) { ReportPainter::paint(layout, *target); });
        preview.exec();
    }

    printer.setCopyCount(1);
    printer.setCollateCopies(true);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(0, 0);
    QPrintDialog dialog(&printer, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return ReportPainter::paint(layout, printer);
}
