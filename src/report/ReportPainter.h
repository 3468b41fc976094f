#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPagedPaintDevice;
class QPainter;
class ReportLayout;

// Draws a page layout: on a printer or a PDF writer, or as an image of the whole page.
class ReportPainter final
{
public:
    // Where a text object's text went on the page, in millimetres from the corner of the printable
    // area: its box, the rectangle its laid-out lines take, and the size it was drawn at (a text
    // too long for its box is drawn smaller, down to 60 % of its size, before it is cut).
    struct PlacedText
    {
        QString name;
        QRectF box;
        QRectF text;
        double pointsize = 0.0;
    };

    // Sets the device's page and margins to the layout's and draws the page; false when the
    // device cannot be painted on. `placed`, when given, receives where the texts went.
    static bool paint(const ReportLayout& layout, QPagedPaintDevice& device,
                      QList<PlacedText>* placed = nullptr);
    // The whole page, white, at `dpi` dots per inch; the objects inside the margins.
    static QImage render(const ReportLayout& layout, int dpi);
    // Draws the objects with an active painter; `origin`, in device pixels, is the corner of the
    // printable area. Millimetres are turned into pixels by the device's resolution. Answers where
    // the texts went.
    static QList<PlacedText> draw(QPainter& painter, const ReportLayout& layout, QPointF origin);
    // The installed family that draws a face named in a layout, chosen by metrics (Fonts).
    static QString family(const QString& face);
};
