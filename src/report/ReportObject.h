#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

// One object of a page layout: a text box, a picture or a check box, placed in millimetres from
// the top-left corner of the printable area.
struct ReportObject
{
    enum class Kind
    {
        Text,
        Picture,
        CheckBox
    };

    // The face as stored ("Calibri", "@Arial Unicode MS"); the painter picks the installed font.
    struct Font
    {
        QString face;
        double pointsize = 10.0;
        bool bold = false;
        QColor color = Qt::black;
    };

    QString name;
    Kind kind = Kind::Text;
    QRectF rect;
    Font font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool frame = false;
    bool wrap = true;
    bool clip = true;
    // Text objects: the lines joined with "\n".
    QString text;
    // Picture objects: a file or resource path (SVG, PNG or JPEG).
    QString picture;
    // Check boxes.
    bool checked = false;
};
