#include "report/ReportPainter.h"

#include "platform/Fonts.h"
#include "report/ReportLayout.h"

#include <QFont>
#include <QImageReader>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace {

constexpr double millimetresperinch = 25.4;
// Text boxes keep a small gap to their edges (2 and 1 pixels of 1/96 inch); frames are one such
// pixel wide.
constexpr double gapx = 2.0 * millimetresperinch / 96.0;
constexpr double gapy = 1.0 * millimetresperinch / 96.0;
constexpr double framewidth = millimetresperinch / 96.0;

// Objects are laid out at one fixed resolution whatever the device, and the painter scales that
// to the device: lines wrap at the same words in the preview, on paper, in a PDF and in an image.
constexpr double layoutdpi = 600.0;

double units(double mm)
{
    return mm * layoutdpi / millimetresperinch;
}

QRectF units(const QRectF& mm)
{
    return QRectF(units(mm.x()), units(mm.y()), units(mm.width()), units(mm.height()));
}

// The device turns font sizes into pixels at its own resolution; the size is given so that the
// painter's scale brings it back to the size asked for.
QFont fontof(const ReportObject::Font& font, double pointsize, const QPaintDevice& device)
{
    QFont result;
    result.setFamilies(Fonts::families(font.face));
    result.setPointSizeF(pointsize * layoutdpi / device.logicalDpiY());
    result.setBold(font.bold);
    result.setHintingPreference(QFont::PreferNoHinting);
    return result;
}

double millimetres(double layoutunits)
{
    return layoutunits * millimetresperinch / layoutdpi;
}

QRectF millimetres(const QRectF& box)
{
    return QRectF(millimetres(box.x()), millimetres(box.y()), millimetres(box.width()),
                  millimetres(box.height()));
}

// Blank lines at the end of a text put no ink on the page; under a text that starts at the top of
// its box they neither move it nor need room.
QString withouttrailingblanklines(const QString& text)
{
    QStringList lines = text.split(u'\n');
    while (lines.size() > 1 && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    return lines.join(u'\n');
}

// A text longer than its box is drawn smaller rather than cut, down to this share of its size.
constexpr double smallestscale = 0.6;
constexpr double sizestep = 0.25;

void drawframe(QPainter& painter, const QRectF& box)
{
    const double width = units(framewidth);
    QPen pen(Qt::black, width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(width / 2, width / 2, -width / 2, -width / 2));
}

ReportPainter::PlacedText drawtext(QPainter& painter, const ReportObject& object, const QRectF& box)
{
    ReportPainter::PlacedText placed{object.name, millimetres(box), {}, object.font.pointsize};
    if (object.text.isEmpty())
        return placed;
    painter.setPen(object.font.color);
    // The text is clipped to its object, not to the gap inside it.
    int flags = static_cast<int>(object.alignment) | Qt::TextDontClip;
    if (object.wrap)
        flags |= Qt::TextWordWrap;
    const QRectF inner = box.adjusted(units(gapx), units(gapy), -units(gapx), -units(gapy));
    const QString text =
        object.alignment & Qt::AlignTop ? withouttrailingblanklines(object.text) : object.text;
    const double smallest = object.font.pointsize * smallestscale;
    double size = object.font.pointsize;
    for (;;) {
        painter.setFont(fontof(object.font, size, *painter.device()));
        if (box.contains(painter.boundingRect(inner, flags, text)) || size <= smallest)
            break;
        size = std::max(size - sizestep, smallest);
    }
    QRectF drawn;
    painter.drawText(inner, flags, text, &drawn);
    placed.text = millimetres(drawn);
    placed.pointsize = size;
    return placed;
}

// Fitted inside the box with its proportions kept, from the box's top-left corner.
QRectF fitted(const QSizeF& size, const QRectF& box)
{
    if (size.isEmpty())
        return {};
    const double factor = std::min(box.width() / size.width(), box.height() / size.height());
    return QRectF(box.topLeft(), size * factor);
}

void drawpicture(QPainter& painter, const ReportObject& object, const QRectF& box)
{
    if (object.picture.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer renderer(object.picture);
        if (renderer.isValid())
            renderer.render(&painter, fitted(renderer.viewBoxF().size(), box));
        return;
    }
    QImageReader reader(object.picture);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (!image.isNull())
        painter.drawImage(fitted(image.size(), box), image);
}

void drawcheckbox(QPainter& painter, const ReportObject& object, const QRectF& box)
{
    if (!object.checked)
        return;
    // A tick mark, black, drawn inside the box.
    QPainterPath tick;
    tick.moveTo(box.left() + box.width() * 0.20, box.top() + box.height() * 0.55);
    tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.78);
    tick.lineTo(box.left() + box.width() * 0.82, box.top() + box.height() * 0.22);
    QPen pen(Qt::black, std::min(box.width(), box.height()) * 0.12);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

} // namespace

bool ReportPainter::paint(const ReportLayout& layout, QPagedPaintDevice& device, QList<PlacedText>* placed)
{
    device.setPageLayout(layout.pagelayout());
    QPainter painter(&device);
    if (!painter.isActive())
        return false;
    const QList<PlacedText> texts = draw(painter, layout, QPointF(0.0, 0.0));
    if (placed)
        *placed = texts;
    return painter.end();
}

QImage ReportPainter::render(const ReportLayout& layout, int dpi)
{
    const double perMillimetre = dpi / millimetresperinch;
    QImage image(qRound(layout.pagesize().width() * perMillimetre),
                 qRound(layout.pagesize().height() * perMillimetre), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(perMillimetre * 1000.0));
    image.setDotsPerMeterY(qRound(perMillimetre * 1000.0));
    image.fill(Qt::white);
    QPainter painter(&image);
    draw(painter, layout,
         QPointF(layout.margins().left() * perMillimetre, layout.margins().top() * perMillimetre));
    return image;
}

QList<ReportPainter::PlacedText> ReportPainter::draw(QPainter& painter, const ReportLayout& layout,
                                                     QPointF origin)
{
    QList<PlacedText> placed;
    const QPaintDevice& device = *painter.device();
    painter.save();
    painter.translate(origin);
    painter.scale(device.logicalDpiX() / layoutdpi, device.logicalDpiY() / layoutdpi);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const ReportObject& object : layout.objects()) {
        const QRectF box = units(object.rect);
        painter.save();
        if (object.clip)
            painter.setClipRect(box, Qt::IntersectClip);
        switch (object.kind) {
        case ReportObject::Kind::Text:
            placed.append(drawtext(painter, object, box));
            break;
        case ReportObject::Kind::Picture:
            drawpicture(painter, object, box);
            break;
        case ReportObject::Kind::CheckBox:
            drawcheckbox(painter, object, box);
            break;
        }
        if (object.frame)
            drawframe(painter, box);
        painter.restore();
    }
    painter.restore();
    return placed;
}

QString ReportPainter::family(const QString& face)
{
    return Fonts::families(face).constFirst();
}
