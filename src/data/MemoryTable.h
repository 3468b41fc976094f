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
// through the model interface, with the field names as column titles; numbers show in the general
// format with a decimal comma. Rows added by appendrow are stored at once; a row added by
// appendpending, or a stored row edited through the model, is being entered until post() stores
// it, which checks the required fields. Aggregates "SUM(field)" sum the stored rows.
class MemoryTable final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Type
    {
        Text,
        Integer,
        Float,
    };
    struct Field
    {
        QString name;
        Type type = Type::Text;
        int size = 0; // characters, texts only; 0: no limit
        bool required = false;
    };
    struct Aggregate
    {
        QString name;
        QString expression; // "SUM(field)"
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
    // False when there is no such row or a change is in progress.
    bool removerow(int row);
    void clear();

    // Adds an empty row at the end, being entered. Returns its row.
    int appendpending();
    // True while the row is being entered (added by appendpending or edited since it was stored).
    bool entering(int row) const;
    // True when the row was added by appendpending and never stored.
    bool inserted(int row) const;
    // True when no field of the row holds a value.
    bool blank(int row) const;
    // Stores a row being entered: the message of the first required field that is empty
    // ("Le champ '<name>' doit avoir une valeur"), the row staying in entry; nothing when it is
    // stored (then `posted` is emitted) or was not being entered.
    std::optional<QString> post(int row);
    // Drops a row added by appendpending and never stored; false for any other row.
    bool cancel(int row);
    // True while a row is being added, stored or removed: views are told of a change that is not
    // finished, and whatever they call back with must wait for it. Rows are neither added, stored,
    // removed nor edited meanwhile (those calls do nothing and say so).
    bool changing() const { return m_changing > 0; }

    void addaggregate(const Aggregate& aggregate) { m_aggregates.push_back(aggregate); }
    // The value of an aggregate over the stored rows; none when no stored row has a value there.
    QVariant aggregate(const QString& name) const;

    // Whether grids may edit the cells.
    void seteditable(bool editable) { m_editable = editable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Why a text typed into a number field cannot be held there, in the run-time library's words
    // ("'2,5' n'est pas une valeur entière correcte"); none when the field can hold it (an empty
    // text is no value and can).
    std::optional<QString> unreadable(int column, const QVariant& value) const;

signals:
    void posted(int row);
    // A row went by removerow.
    void deleted();

private:
    enum class State
    {
        Stored,
        Inserting,
        Editing,
    };
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
    std::vector<State> m_states;
    std::vector<Aggregate> m_aggregates;
    QCollator m_collator;
    bool m_editable = false;
};
