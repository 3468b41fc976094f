#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

// An in-memory table: fields with a type and, for texts, a size in characters (a longer text is
// cut to it), and an optional active index that keeps the rows in its order. Grids show it
// through the model interface, with the field names as column titles.
class MemoryTable final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Type
    {
        Text,
        Integer,
    };
    struct Field
    {
        QString name;
        Type type = Type::Text;
        int size = 0; // characters, texts only; 0: no limit
    };
    // Fields joined by ";" in the order they sort; texts compare as French words, letter case
    // counting; equal keys keep the order the rows were added in.
    struct Index
    {
        QString name;
        QString fields;
        bool descending = false;
    };

    MemoryTable(const QString& name, std::vector<Field> fields, QObject* parent = nullptr);

    const std::vector<Field>& fields() const { return m_fields; }
    // The column of a field, or -1.
    int fieldindex(const QString& name) const;

    // Makes the index the active order and sorts the rows by it.
    void setindex(const Index& index);
    const Index& activeindex() const { return m_index; }

    // Adds a row, values in field order (missing ones empty); it goes to its place in the active
    // order. Returns the row it went to.
    int appendrow(const QVariantList& values);
    // Adds the rows as appendrow would one after the other (equal keys keep the order given),
    // in one step: views are told once, and a long list costs a sort instead of a shift per row.
    void appendrows(const std::vector<QVariantList>& rows);
    QVariant value(int row, const QString& field) const;
    QVariant value(int row, int column) const;
    void clear();

    // True while rows are being added or emptied: views are told of a change that is not
    // finished, and whatever they call back with must wait for it. Rows are neither added nor
    // edited meanwhile (those calls do nothing and say so).
    bool changing() const { return m_changing > 0; }

    // Whether grids may edit the cells.
    void seteditable(bool editable) { m_editable = editable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    // The value as the field holds it; none when a number field gets a text that is no number.
    std::optional<QVariant> fitted(int column, const QVariant& value) const;
    // The row as the table stores it: values fitted to their fields, missing ones empty.
    QVariantList fittedrow(const QVariantList& values) const;
    // True when row a sorts before row b in the active index.
    bool before(const QVariantList& a, const QVariantList& b) const;

    // Counts the changes in progress; see changing().
    class Changing;

    std::vector<Field> m_fields;
    int m_changing = 0;
    Index m_index;
    std::vector<int> m_indexcolumns;
    std::vector<QVariantList> m_rows;
    QCollator m_collator;
    bool m_editable = false;
};
