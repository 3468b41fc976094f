#include "report/PreviewReportOutput.h"

#include "report/ReportLayout.h"
#include "report/ReportPainter.h"

#include <QAction>
#include <QGuiApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QTimer>

PreviewReportOutput::PreviewReportOutput(QWidget* parent) : m_parent(parent) {}

bool PreviewReportOutput::print(const ReportLayout& layout)
{
    // A new printer on the default printer: nothing of an earlier preview is kept.
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(layout.title());
    printer.setPageLayout(layout.pagelayout());

    {
        QPrintPreviewDialog preview(&printer, m_parent);
        preview.setWindowTitle(layout.title());
        // The whole available area of the screen, even where no window manager maximises it, and
        // the page shown across its width.
        const QScreen* screen = m_parent ? m_parent->screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        if (!area.isEmpty())
            preview.setGeometry(area);
        preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
        // Once shown, the frame is known: the window with its frame takes the area, no more.
        QTimer::singleShot(0, &preview, [&preview, area] {
            if (area.isEmpty() || preview.frameGeometry() == area)
                return;
            const QMargins frame(preview.geometry().left() - preview.frameGeometry().left(),
                                 preview.geometry().top() - preview.frameGeometry().top(),
                                 preview.frameGeometry().right() - preview.geometry().right(),
                                 preview.frameGeometry().bottom() - preview.geometry().bottom());
            preview.setGeometry(area.marginsRemoved(frame));
            preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
        });
        if (auto* fitwidth = preview.findChild<QAction*>(QStringLiteral("fitWidthAction")))
            fitwidth->trigger();
        else if (auto* pages = preview.findChild<QPrintPreviewWidget*>())
            pages->fitToWidth();
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
