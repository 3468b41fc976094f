#include "report/ReportLayout.h"

#include "api/QuilbaError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>
#include <QSet>

// The layouts and their artwork are compiled into the core library; naming the resource here
// keeps the linker from dropping it.
static void initresources()
{
    Q_INIT_RESOURCE(report);
}

namespace {

// A fault in a layout file, with what and where.
struct LayoutFault
{
    QString text;
};

[[noreturn]] void fail(const QString& where, const QString& what)
{
    throw LayoutFault{where.isEmpty() ? what : where + QStringLiteral(" : ") + what};
}

void checkkeys(const QJsonObject& object, std::initializer_list<const char16_t*> allowed,
               const QString& where)
{
    const auto keys = object.keys();
    for (const QString& key : keys) {
        bool known = false;
        for (const char16_t* name : allowed)
            known = known || key == QStringView(name);
        if (!known)
            fail(where, QStringLiteral("clé inconnue \"%1\"").arg(key));
    }
}

double number(const QJsonObject& object, const QString& key, const QString& where)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        fail(where, QStringLiteral("nombre attendu pour \"%1\"").arg(key));
    return value.toDouble();
}

double number(const QJsonObject& object, const QString& key, double fallback, const QString& where)
{
    return object.contains(key) ? number(object, key, where) : fallback;
}

bool flag(const QJsonObject& object, const QString& key, bool fallback, const QString& where)
{
    if (!object.contains(key))
        return fallback;
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        fail(where, QStringLiteral("booléen attendu pour \"%1\"").arg(key));
    return value.toBool();
}

QString string(const QJsonObject& object, const QString& key, const QString& where)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        fail(where, QStringLiteral("texte attendu pour \"%1\"").arg(key));
    return value.toString();
}

// A font read over the one it inherits: the page's font for objects, the engine's for the page.
// "size" is in points; "height" is the character height in pixels of 1/96 inch.
ReportObject::Font readfont(const QJsonObject& object, ReportObject::Font font, const QString& where)
{
    checkkeys(object, {u"face", u"size", u"height", u"bold", u"color"}, where);
    if (object.contains(u"face"))
        font.face = string(object, QStringLiteral("face"), where);
    if (object.contains(u"size") && object.contains(u"height"))
        fail(where, QStringLiteral("\"size\" et \"height\" à la fois"));
    if (object.contains(u"size"))
        font.pointsize = number(object, QStringLiteral("size"), where);
    if (object.contains(u"height"))
        font.pointsize = number(object, QStringLiteral("height"), where) * 72.0 / 96.0;
    if (font.pointsize <= 0.0)
        fail(where, QStringLiteral("taille de police nulle"));
    font.bold = flag(object, QStringLiteral("bold"), font.bold, where);
    if (object.contains(u"color")) {
        const QColor color = QColor::fromString(string(object, QStringLiteral("color"), where));
        if (!color.isValid())
            fail(where, QStringLiteral("couleur illisible"));
        font.color = color;
    }
    return font;
}

Qt::Alignment readalignment(const QJsonObject& object, const QString& where)
{
    Qt::Alignment alignment;
    const QString horizontal =
        object.contains(u"align") ? string(object, QStringLiteral("align"), where) : QStringLiteral("left");
    if (horizontal == u"left")
        alignment |= Qt::AlignLeft;
    else if (horizontal == u"center")
        alignment |= Qt::AlignHCenter;
    else if (horizontal == u"right")
        alignment |= Qt::AlignRight;
    else if (horizontal == u"justify")
        alignment |= Qt::AlignJustify;
    else
        fail(where, QStringLiteral("alignement inconnu \"%1\"").arg(horizontal));
    const QString vertical =
        object.contains(u"valign") ? string(object, QStringLiteral("valign"), where) : QStringLiteral("top");
    if (vertical == u"top")
        alignment |= Qt::AlignTop;
    else if (vertical == u"center")
        alignment |= Qt::AlignVCenter;
    else if (vertical == u"bottom")
        alignment |= Qt::AlignBottom;
    else
        fail(where, QStringLiteral("alignement vertical inconnu \"%1\"").arg(vertical));
    return alignment;
}

ReportObject readobject(const QJsonObject& object, const ReportObject::Font& pagefont, int index)
{
    QString where = QStringLiteral("objet %1").arg(index + 1);
    ReportObject result;
    result.name = string(object, QStringLiteral("name"), where);
    if (result.name.isEmpty())
        fail(where, QStringLiteral("nom vide"));
    where = result.name;
    checkkeys(object,
              {u"name", u"kind", u"left", u"top", u"width", u"height", u"font", u"align", u"valign", u"frame",
               u"wrap", u"clip", u"lines", u"picture", u"checked"},
              where);
    const QString kind = string(object, QStringLiteral("kind"), where);
    if (kind == u"text")
        result.kind = ReportObject::Kind::Text;
    else if (kind == u"picture")
        result.kind = ReportObject::Kind::Picture;
    else if (kind == u"checkbox")
        result.kind = ReportObject::Kind::CheckBox;
    else
        fail(where, QStringLiteral("genre inconnu \"%1\"").arg(kind));
    result.rect = QRectF(
        number(object, QStringLiteral("left"), where), number(object, QStringLiteral("top"), where),
        number(object, QStringLiteral("width"), where), number(object, QStringLiteral("height"), where));
    if (result.rect.width() <= 0.0 || result.rect.height() <= 0.0)
        fail(where, QStringLiteral("taille nulle"));
    if (object.contains(u"font") && !object.value(u"font").isObject())
        fail(where, QStringLiteral("objet attendu pour \"font\""));
    result.font = readfont(object.value(u"font").toObject(), pagefont, where);
    result.alignment = readalignment(object, where);
    result.frame = flag(object, QStringLiteral("frame"), false, where);
    result.wrap = flag(object, QStringLiteral("wrap"), true, where);
    result.clip = flag(object, QStringLiteral("clip"), true, where);
    result.checked = flag(object, QStringLiteral("checked"), false, where);
    if (object.contains(u"lines")) {
        const QJsonValue lines = object.value(u"lines");
        if (!lines.isArray())
            fail(where, QStringLiteral("liste attendue pour \"lines\""));
        QStringList texts;
        for (const QJsonValue& line : lines.toArray()) {
            if (!line.isString())
                fail(where, QStringLiteral("texte attendu dans \"lines\""));
            texts.append(line.toString());
        }
        result.text = texts.join(u'\n');
    }
    if (result.kind == ReportObject::Kind::Picture)
        result.picture = string(object, QStringLiteral("picture"), where);
    else if (object.contains(u"picture"))
        fail(where, QStringLiteral("image sur un objet qui n'en est pas une"));
    return result;
}

} // namespace

std::optional<ReportLayout> ReportLayout::fromjson(const QByteArray& json, QString* error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    try {
        if (parse.error != QJsonParseError::NoError)
            fail({}, QStringLiteral("%1 (position %2)").arg(parse.errorString()).arg(parse.offset));
        if (!document.isObject())
            fail({}, QStringLiteral("objet attendu"));
        const QJsonObject root = document.object();
        checkkeys(root, {u"name", u"title", u"page", u"font", u"objects"}, {});
        ReportLayout layout;
        layout.m_name = string(root, QStringLiteral("name"), {});
        layout.m_title = root.contains(u"title") ? string(root, QStringLiteral("title"), {}) : layout.m_name;
        if (root.contains(u"page")) {
            const QString where = QStringLiteral("page");
            const QJsonObject page = root.value(u"page").toObject();
            checkkeys(page, {u"width", u"height", u"margins"}, where);
            layout.m_pagesize = QSizeF(number(page, QStringLiteral("width"), where),
                                       number(page, QStringLiteral("height"), where));
            if (layout.m_pagesize.isEmpty())
                fail(where, QStringLiteral("taille nulle"));
            if (page.contains(u"margins")) {
                const QJsonObject margins = page.value(u"margins").toObject();
                checkkeys(margins, {u"left", u"top", u"right", u"bottom"}, where);
                layout.m_margins = QMarginsF(number(margins, QStringLiteral("left"), 0.0, where),
                                             number(margins, QStringLiteral("top"), 0.0, where),
                                             number(margins, QStringLiteral("right"), 0.0, where),
                                             number(margins, QStringLiteral("bottom"), 0.0, where));
            }
        }
        ReportObject::Font engine;
        engine.face = QStringLiteral("Arial");
        layout.m_font = readfont(root.value(u"font").toObject(), engine, QStringLiteral("police de la page"));
        const QJsonArray objects = root.value(u"objects").toArray();
        QSet<QString> names;
        for (int i = 0; i < objects.size(); ++i) {
            if (!objects.at(i).isObject())
                fail(QStringLiteral("objet %1").arg(i + 1), QStringLiteral("objet attendu"));
            ReportObject object = readobject(objects.at(i).toObject(), layout.m_font, i);
            if (names.contains(object.name))
                fail(object.name, QStringLiteral("nom en double"));
            names.insert(object.name);
            layout.m_objects.append(std::move(object));
        }
        return layout;
    } catch (const LayoutFault& fault) {
        if (error)
            *error = fault.text;
        return std::nullopt;
    }
}

ReportLayout ReportLayout::fromresource(const QString& name)
{
    initresources();
    QFile file(QStringLiteral(":/layouts/") + name + QStringLiteral(".json"));
    if (!file.open(QIODevice::ReadOnly))
        throw QuilbaError(QStringLiteral("Modèle d'impression introuvable : ") + name);
    QString error;
    auto layout = fromjson(file.readAll(), &error);
    if (!layout)
        throw QuilbaError(QStringLiteral("Modèle d'impression %1 illisible : %2").arg(name, error));
    return *std::move(layout);
}

QPageLayout ReportLayout::pagelayout() const
{
    // A page size is given upright; a landscape page turns it.
    const bool landscape = m_pagesize.width() > m_pagesize.height();
    const QPageSize size(landscape ? m_pagesize.transposed() : m_pagesize, QPageSize::Millimeter);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, m_margins,
                       QPageLayout::Millimeter);
}

const ReportObject* ReportLayout::object(const QString& name) const
{
    for (const ReportObject& object : m_objects) {
        if (object.name == name)
            return &object;
    }
    return nullptr;
}

QString ReportLayout::text(const QString& name) const
{
    const ReportObject* found = object(name);
    return found && found->kind == ReportObject::Kind::Text ? found->text : QString();
}

bool ReportLayout::settext(const QString& name, const QString& text)
{
    ReportObject* found = find(name, ReportObject::Kind::Text);
    if (found)
        found->text = text;
    return found;
}

bool ReportLayout::setchecked(const QString& name, bool checked)
{
    ReportObject* found = find(name, ReportObject::Kind::CheckBox);
    if (found)
        found->checked = checked;
    return found;
}

ReportObject* ReportLayout::find(const QString& name, ReportObject::Kind kind)
{
    for (ReportObject& object : m_objects) {
        if (object.name == name)
            return object.kind == kind ? &object : nullptr;
    }
    return nullptr;
}
