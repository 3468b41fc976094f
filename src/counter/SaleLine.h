#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

// One product line of a sale as the pharmacist types it: the product code, the quantity, the unit
// price and the line's total. A number left empty holds no value, which is not 0.
struct SaleLine
{
    // The line's fields, in the order the products grid shows them.
    enum class Field
    {
        Code,
        Quantity,
        UnitPrice,
        Total,
    };
    static constexpr std::array<Field, 4> fields{Field::Code, Field::Quantity, Field::UnitPrice,
                                                 Field::Total};
    // Characters a code holds; a longer one is cut.
    static constexpr qsizetype codesize = 20;

    // The field's name: "Code Produit", "Quantité", "Prix Unitaire", "Total". The grid's column
    // titles and the messages about a field say it.
    static QString caption(Field field);
    // Why a text typed into a number field cannot be held there, in the run-time library's words
    // ("'2,5' n'est pas une valeur entière correcte"); none when it can (an empty text is no value
    // and can). A code holds any text.
    static std::optional<QString> unreadable(Field field, const QString& text);

    // The field as a cell shows it: numbers in the general format ("7,5"), empty for no value.
    QString text(Field field) const;
    // Puts a typed text into the field: a code is cut to codesize characters, a number is read
    // with a decimal comma, blanks around it allowed, an empty text being no value. A text the
    // field cannot hold changes nothing: why, as unreadable() says it.
    std::optional<QString> settext(Field field, const QString& text);
    // Why the line cannot be stored: a line without a code, "Le champ 'Code Produit' doit avoir une
    // valeur"; none when it can.
    std::optional<QString> incomplete() const;
    // No field holds anything.
    bool blank() const;
    // Quantity × unit price, an empty one counting as 0.
    double producttotal() const;

    QString code;
    std::optional<qint64> quantity;
    std::optional<double> unitprice;
    std::optional<double> total;
};

// The sum of the lines' totals; none when no line has a total.
std::optional<double> sumoftotals(const std::vector<SaleLine>& lines);
