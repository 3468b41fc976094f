#include "report/PdfReportOutput.h"

#include "report/ReportLayout.h"
#include "report/ReportPainter.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>

PdfReportOutput::PdfReportOutput(QString folder) : m_folder(std::move(folder)) {}

QString PdfReportOutput::environmentfolder()
{
    return qEnvironmentVariable("QUILBA_PRINT_DIR");
}

bool PdfReportOutput::print(const ReportLayout& layout)
{
    const QDir folder(m_folder);
    if (!folder.mkpath(QStringLiteral(".")))
        return false;
    // A new file for every document: the earlier ones stay as they were printed.
    QFile file;
    for (int n = 1;; ++n) {
        file.setFileName(folder.filePath(layout.name() + QStringLiteral("-%1.pdf").arg(n)));
        if (!file.exists())
            break;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(layout.name());
        writer.setCreator(QStringLiteral("Quilba"));
        writer.setResolution(600);
        painted = ReportPainter::paint(layout, writer);
    }
    file.close();
    if (!painted || file.error() != QFileDevice::NoError) {
        file.remove();
        return false;
    }
    m_lastfile = file.fileName();
    return true;
}
