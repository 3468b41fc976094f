// quilba-svgpaths: turns the live text of an SVG drawing into glyph outlines, so that the drawing
// looks the same wherever it is shown, whatever fonts the machine has.
//
// usage: quilba-svgpaths SOURCE.svg OUT.svg
//
// Each <text> element (x, y, font-family, font-size, font-weight, text-anchor, fill) becomes a
// <path> with the outlines of its glyphs, in the first family of its font-family list that is
// installed; a text whose families are all missing is an error rather than a silent fallback.
// Everything else of the drawing is copied as it stands.

#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainterPath>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdio>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

// Outlines are made at this size and scaled to the font-size asked for.
constexpr int kpixels = 1000;

[[noreturn]] void fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

QString number(double value)
{
    QString text = QString::number(value, 'f', 1);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == u"-0"_s ? u"0"_s : text;
}

QString installedfamily(const QString& list)
{
    const QStringList families = QFontDatabase::families();
    for (QString family : list.split(u',')) {
        family = family.trimmed().remove(u'"').remove(u'\'');
        if (families.contains(family, Qt::CaseInsensitive))
            return family;
    }
    fail(u"aucune police installée parmi « "_s + list + u" »"_s);
}

QString pathdata(const QPainterPath& path)
{
    QStringList parts;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            parts << u"M"_s + number(e.x) + u' ' + number(e.y);
        } else if (e.isLineTo()) {
            parts << u"L"_s + number(e.x) + u' ' + number(e.y);
        } else if (e.isCurveTo()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            parts << u"C"_s + number(e.x) + u' ' + number(e.y) + u' ' + number(c2.x) + u' ' + number(c2.y) +
                         u' ' + number(end.x) + u' ' + number(end.y);
            i += 2;
        }
    }
    return parts.join(u' ');
}

QPainterPath outline(const QXmlStreamAttributes& attributes, const QString& text)
{
    QFont font(installedfamily(attributes.value(u"font-family"_s).toString()));
    font.setPixelSize(kpixels);
    const QString weight = attributes.value(u"font-weight"_s).toString();
    font.setBold(weight == u"bold"_s || weight.toInt() >= 600);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);

    QPainterPath glyphs;
    glyphs.addText(0.0, 0.0, font, text);
    const double size = attributes.value(u"font-size"_s).toDouble();
    if (size <= 0.0)
        fail(u"font-size manquant pour « "_s + text + u" »"_s);
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    const QString anchor = attributes.value(u"text-anchor"_s).toString();
    const double shift = anchor == u"middle"_s ? -width / 2.0 : anchor == u"end"_s ? -width : 0.0;

    QTransform transform;
    transform.translate(attributes.value(u"x"_s).toDouble(), attributes.value(u"y"_s).toDouble());
    transform.scale(size / kpixels, size / kpixels);
    transform.translate(shift, 0.0);
    return transform.map(glyphs);
}

void convert(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        fail(source + u" : "_s + in.errorString());
    QByteArray out;
    QXmlStreamReader reader(&in);
    // Names are copied as written: no prefix is invented for the SVG namespace.
    reader.setNamespaceProcessing(false);
    QXmlStreamWriter writer(&out);
    int texts = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartDocument() || reader.isEndDocument())
            continue;
        if (reader.isStartElement() && reader.name() == u"text"_s) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QString text = reader.readElementText();
            writer.writeStartElement(u"path"_s);
            writer.writeAttribute(u"id"_s, u"texte-"_s + QString::number(++texts));
            writer.writeAttribute(u"fill"_s, attributes.hasAttribute(u"fill"_s)
                                                 ? attributes.value(u"fill"_s).toString()
                                                 : u"#000000"_s);
            writer.writeAttribute(u"d"_s, pathdata(outline(attributes, text)));
            writer.writeEndElement();
            continue;
        }
        writer.writeCurrentToken(reader);
    }
    if (reader.hasError())
        fail(source + u" : "_s + reader.errorString());
    out.append('\n');
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size())
        fail(target + u" : "_s + file.errorString());
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage : quilba-svgpaths SOURCE.svg SORTIE.svg\n", stderr);
        return 2;
    }
    try {
        convert(args.at(1), args.at(2));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quilba-svgpaths : %s\n", error.what());
        return 1;
    }
    return 0;
}
