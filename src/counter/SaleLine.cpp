#include "counter/SaleLine.h"

#include "data/NumberText.h"

using namespace Qt::StringLiterals;

namespace {

std::optional<qint64> readinteger(const QString& text)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

QString numbertext(const std::optional<double>& value)
{
    return value ? generalformat(*value) : QString();
}

} // namespace

QString SaleLine::caption(Field field)
{
    switch (field) {
    case Field::Code:
        return u"Code Produit"_s;
    case Field::Quantity:
        return u"Quantité"_s;
    case Field::UnitPrice:
        return u"Prix Unitaire"_s;
    case Field::Total:
        return u"Total"_s;
    }
    return {};
}

std::optional<QString> SaleLine::unreadable(Field field, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (field == Field::Code || trimmed.isEmpty())
        return std::nullopt;
    if (field == Field::Quantity) {
        if (readinteger(trimmed))
            return std::nullopt;
        return u"'%1' n'est pas une valeur entière correcte"_s.arg(trimmed);
    }
    if (readfloat(trimmed))
        return std::nullopt;
    return u"'%1' n'est pas une valeur en virgule flottante correcte"_s.arg(trimmed);
}

QString SaleLine::text(Field field) const
{
    switch (field) {
    case Field::Code:
        return code;
    case Field::Quantity:
        return quantity ? QString::number(*quantity) : QString();
    case Field::UnitPrice:
        return numbertext(unitprice);
    case Field::Total:
        return numbertext(total);
    }
    return {};
}

std::optional<QString> SaleLine::settext(Field field, const QString& text)
{
    if (std::optional<QString> why = unreadable(field, text))
        return why;
    const QString trimmed = text.trimmed();
    switch (field) {
    case Field::Code:
        // Never half a character: a cut through a surrogate pair (an emoji) drops the whole pair.
        if (text.size() <= codesize)
            code = text;
        else
            code = text.left(text.at(codesize - 1).isHighSurrogate() ? codesize - 1 : codesize);
        break;
    case Field::Quantity:
        quantity = trimmed.isEmpty() ? std::nullopt : readinteger(trimmed);
        break;
    case Field::UnitPrice:
        unitprice = trimmed.isEmpty() ? std::nullopt : readfloat(trimmed);
        break;
    case Field::Total:
        total = trimmed.isEmpty() ? std::nullopt : readfloat(trimmed);
        break;
    }
    return std::nullopt;
}

std::optional<QString> SaleLine::incomplete() const
{
    if (code.isEmpty())
        return u"Le champ '%1' doit avoir une valeur"_s.arg(caption(Field::Code));
    return std::nullopt;
}

bool SaleLine::blank() const
{
    return code.isEmpty() && !quantity && !unitprice && !total;
}

double SaleLine::producttotal() const
{
    return static_cast<double>(quantity.value_or(0)) * unitprice.value_or(0.0);
}

std::optional<double> sumoftotals(const std::vector<SaleLine>& lines)
{
    std::optional<double> sum;
    for (const SaleLine& line : lines) {
        if (line.total)
            sum = sum.value_or(0.0) + *line.total;
    }
    return sum;
}
