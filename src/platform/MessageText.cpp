#include "platform/MessageText.h"

#include "platform/HtmlEntities.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace MessageText {

namespace {

const QString kellipsis = u"…"_s;

bool looksmarked(const QString& text)
{
    return text.contains(u"</"_s) || text.contains(u"<!"_s);
}

QString decodeentities(const QString& text)
{
    static const QRegularExpression entity(
        u"&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z][a-zA-Z0-9]{1,7});"_s);
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : entity.globalMatch(text)) {
        out += text.mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        const QString name = match.captured(1);
        char32_t code = 0;
        bool ok = true;
        if (name.startsWith(u"#x"_s, Qt::CaseInsensitive))
            code = name.mid(2).toUInt(&ok, 16);
        else if (name.startsWith(u'#'))
            code = name.mid(1).toUInt(&ok, 10);
        else if (name == u"amp"_s)
            code = u'&';
        else if (name == u"lt"_s)
            code = u'<';
        else if (name == u"gt"_s)
            code = u'>';
        else if (name == u"quot"_s)
            code = u'"';
        else if (name == u"apos"_s)
            code = u'\'';
        else if (name == u"nbsp"_s)
            code = u' ';
        else
            code = HtmlEntities::code(name);
        const bool valid = ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        out += valid ? QString::fromUcs4(&code, 1) : match.captured(0);
    }
    out += text.mid(from);
    return out;
}

// The words of a page: no markup, one line per block, no blank line.
QString pagetext(const QString& page)
{
    static const QRegularExpression hidden(
        u"<!--.*?-->|<(style|script)\\b[^>]*>.*?</\\1\\s*>|<!\\[CDATA\\[.*?\\]\\]>"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression breaks(
        u"<(br|/?p|/?div|/?h[1-6]|/?li|/?tr|/?title|/?pre|/?blockquote|/?table|hr)\\b[^>]*>"_s,
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(u"<[^>]*>"_s);
    static const QRegularExpression blanks(u"[ \\t\\f\\v\\x{00A0}]+"_s);
    QString text = page;
    text.remove(hidden);
    text.replace(breaks, u"\n"_s);
    text.remove(tag);
    text = decodeentities(text);
    QStringList lines;
    for (QString line : text.split(QRegularExpression(u"\\r\\n|\\r|\\n"_s))) {
        line.replace(blanks, u" "_s);
        line = line.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines.join(u'\n');
}

// A word longer than maxword characters is cut there.
QString shortwords(const QString& line)
{
    static const QRegularExpression longword(u"\\S{%1,}"_s.arg(maxword + 1));
    if (!line.contains(longword))
        return line;
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : longword.globalMatch(line)) {
        out += line.mid(from, match.capturedStart() - from) + match.captured(0).left(maxword) + kellipsis;
        from = match.capturedEnd();
    }
    return out + line.mid(from);
}

} // namespace

QString bounded(const QString& text)
{
    const bool marked = looksmarked(text);
    const QString plain = marked ? pagetext(text) : text;
    static const QRegularExpression linebreak(u"\\r\\n|\\r|\\n"_s);
    QStringList lines = plain.split(linebreak);
    bool changed = marked;
    bool cut = false;
    if (lines.size() > maxlines) {
        lines = lines.mid(0, maxlines);
        cut = true;
    }
    for (QString& line : lines) {
        const QString shortened = shortwords(line);
        changed = changed || shortened.size() != line.size();
        line = shortened;
    }
    QString out = lines.join(u'\n');
    if (out.size() > maxcharacters) {
        out.truncate(maxcharacters);
        if (out.back().isHighSurrogate())
            out.chop(1);
        cut = true;
    }
    // A text within the limits is shown as it was given, its line ends included.
    if (!changed && !cut)
        return text;
    return cut ? out.trimmed() + kellipsis : out;
}

} // namespace MessageText
