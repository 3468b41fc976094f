#pragma once

#include <QImage>
#include <QPointF>
#include <QString>

class QPagedPaintDevice;
class QPainter;
class ReportLayout;

// Draws a page layout: on a printer or a PDF writer, or as an image of the whole page.
class ReportPainter final
{
public:
    // Sets the device's page and margins to the layout's and draws the page; false when the
    // device cannot be painted on.
    static bool paint(const ReportLayout& layout, QPagedPaintDevice& device);
    // The whole page, white, at `dpi` dots per inch; the objects inside the margins.
    static QImage render(const ReportLayout& layout, int dpi);
    // Draws the objects with an active painter; `origin`, in device pixels, is the corner of the
    // printable area. Millimetres are turned into pixels by the device's resolution.
    static void draw(QPainter& painter, const ReportLayout& layout, QPointF origin);
    // The installed family that draws a face named in a layout: Calibri by its metric twin
    // Carlito, Arial Unicode MS (also in its "@" vertical-writing name) by DejaVu Sans.
    static QString family(const QString& face);
};
