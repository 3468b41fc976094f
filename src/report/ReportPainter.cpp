#include "report/ReportPainter.h"

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
QFont fontof(const ReportObject::Font& font, const QPaintDevice& device)
{
    QFont result(ReportPainter::family(font.face));
    result.setPointSizeF(font.pointsize * layoutdpi / device.logicalDpiY());
    result.setBold(font.bold);
    result.setHintingPreference(QFont::PreferNoHinting);
    return result;
}

void drawframe(QPainter& painter, const QRectF& box)
{
    const double width = units(framewidth);
    QPen pen(Qt::black, width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box.adjusted(width / 2, width / 2, -width / 2, -width / 2));
}

void drawtext(QPainter& painter, const ReportObject& object, const QRectF& box)
{
    if (object.text.isEmpty())
        return;
    painter.setFont(fontof(object.font, *painter.device()));
    painter.setPen(object.font.color);
    // The text is clipped to its object, not to the gap inside it.
    int flags = static_cast<int>(object.alignment) | Qt::TextDontClip;
    if (object.wrap)
        flags |= Qt::TextWordWrap;
    painter.drawText(box.adjusted(units(gapx), units(gapy), -units(gapx), -units(gapy)), flags, object.text);
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

bool ReportPainter::paint(const ReportLayout& layout, QPagedPaintDevice& device)
{
    device.setPageLayout(layout.pagelayout());
    QPainter painter(&device);
    if (!painter.isActive())
        return false;
    draw(painter, layout, QPointF(0.0, 0.0));
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

void ReportPainter::draw(QPainter& painter, const ReportLayout& layout, QPointF origin)
{
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
            drawtext(painter, object, box);
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
}

QString ReportPainter::family(const QString& face)
{
    const QString name = face.startsWith(u'@') ? face.mid(1) : face;
    if (name.compare(u"Calibri", Qt::CaseInsensitive) == 0)
        return QStringLiteral("Carlito");
    if (name.compare(u"Arial Unicode MS", Qt::CaseInsensitive) == 0)
        return QStringLiteral("DejaVu Sans");
    return name;
}
