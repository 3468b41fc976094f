#include "data/NumberText.h"

#include <QRegularExpression>
#include <cmath>

using namespace Qt::StringLiterals;

QString generalformat(double value)
{
    if (value == 0.0)
        return u"0"_s; // no "-0"
    QString text = QString::number(value, 'g', 15);
    text.replace(u'.', u',');
    return text;
}

std::optional<double> readfloat(const QString& text)
{
    static const QRegularExpression pattern(u"^\\s*[+-]?(\\d+(,\\d*)?|,\\d+)([eE][+-]?\\d+)?\\s*$"_s);
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    QString dotted = text.trimmed();
    dotted.replace(u',', u'.');
    bool ok = false;
    const double value = dotted.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isnumeric(const QString& text)
{
    for (const QChar c : text) {
        if (!(c >= u'0' && c <= u'9') && c != u',' && c != u'.')
            return false;
    }
    return true;
}
