#include "data/MemoryTable.h"

#include <QLocale>
#include <algorithm>

using namespace Qt::StringLiterals;

class MemoryTable::Changing final
{
public:
    explicit Changing(MemoryTable& table) : m_table(table) { ++m_table.m_changing; }
    ~Changing() { --m_table.m_changing; }
    Changing(const Changing&) = delete;
    Changing& operator=(const Changing&) = delete;

private:
    MemoryTable& m_table;
};

MemoryTable::MemoryTable(const QString& name, std::vector<Field> fields, QObject* parent)
    : QAbstractTableModel(parent), m_fields(std::move(fields)),
      m_collator(QLocale(QLocale::French, QLocale::France))
{
    setObjectName(name);
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
}

int MemoryTable::fieldindex(const QString& name) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

void MemoryTable::setindex(const Index& index)
{
    m_index = index;
    m_indexcolumns.clear();
    for (const QString& field : index.fields.split(u';', Qt::SkipEmptyParts)) {
        const int column = fieldindex(field);
        if (column >= 0)
            m_indexcolumns.push_back(column);
    }
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const QVariantList& a, const QVariantList& b) { return before(a, b); });
    endResetModel();
}

QVariantList MemoryTable::fittedrow(const QVariantList& values) const
{
    QVariantList row;
    row.reserve(static_cast<qsizetype>(m_fields.size()));
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        row.append(fitted(static_cast<int>(i), i < static_cast<std::size_t>(values.size())
                                                   ? values.at(static_cast<qsizetype>(i))
                                                   : QVariant())
                       .value_or(QVariant()));
    return row;
}

int MemoryTable::appendrow(const QVariantList& values)
{
    QVariantList row = fittedrow(values);
    // After every row that does not sort after the new one: equal keys keep their order.
    const auto place =
        std::upper_bound(m_rows.begin(), m_rows.end(), row,
                         [this](const QVariantList& a, const QVariantList& b) { return before(a, b); });
    const int at = static_cast<int>(place - m_rows.begin());
    if (changing())
        return -1;
    const Changing guard(*this);
    beginInsertRows({}, at, at);
    m_rows.insert(place, std::move(row));
    endInsertRows();
    return at;
}

void MemoryTable::appendrows(const std::vector<QVariantList>& rows)
{
    if (rows.empty() || changing())
        return;
    const Changing guard(*this);
    std::vector<QVariantList> added;
    added.reserve(rows.size());
    for (const QVariantList& values : rows)
        added.push_back(fittedrow(values));
    const auto order = [this](const QVariantList& a, const QVariantList& b) { return before(a, b); };
    std::stable_sort(added.begin(), added.end(), order);

    // A stable merge: a new row goes after every row already there that does not sort after it.
    std::vector<QVariantList> merged;
    merged.reserve(m_rows.size() + added.size());
    std::size_t old = 0;
    for (QVariantList& row : added) {
        while (old < m_rows.size() && !before(row, m_rows[old]))
            merged.push_back(std::move(m_rows[old++]));
        merged.push_back(std::move(row));
    }
    for (; old < m_rows.size(); ++old)
        merged.push_back(std::move(m_rows[old]));
    beginResetModel();
    m_rows = std::move(merged);
    endResetModel();
}

QVariant MemoryTable::value(int row, const QString& field) const
{
    return value(row, fieldindex(field));
}

QVariant MemoryTable::value(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[static_cast<std::size_t>(row)].at(column);
}

void MemoryTable::clear()
{
    if (m_rows.empty() || changing())
        return;
    const Changing guard(*this);
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int MemoryTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MemoryTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QVariant MemoryTable::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVariant held = value(index.row(), index.column());
    if (held.isNull())
        return held;
    if (m_fields[static_cast<std::size_t>(index.column())].type == Type::Integer)
        return QString::number(held.toLongLong());
    return held;
}

QVariant MemoryTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? m_fields[static_cast<std::size_t>(section)].name
                                                       : QVariant();
    return {};
}

Qt::ItemFlags MemoryTable::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool MemoryTable::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_editable || changing() || !index.isValid() || role != Qt::EditRole || index.row() >= rowCount())
        return false;
    const std::optional<QVariant> held = fitted(index.column(), value);
    if (!held)
        return false;
    m_rows[static_cast<std::size_t>(index.row())][index.column()] = *held;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

std::optional<QVariant> MemoryTable::fitted(int column, const QVariant& value) const
{
    const Field& field = m_fields[static_cast<std::size_t>(column)];
    const bool istext = value.typeId() == QMetaType::QString;
    if (field.type == Type::Text) {
        const QString text = value.toString();
        if (field.size <= 0 || text.size() <= field.size)
            return QVariant(text);
        // Never half a character: a cut through a surrogate pair (an emoji) drops the whole pair.
        const qsizetype size = text.at(field.size - 1).isHighSurrogate() ? field.size - 1 : field.size;
        return QVariant(text.left(size));
    }
    if (!istext)
        return value;
    // Texts typed into number fields: empty is no value.
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return QVariant();
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok ? std::optional<QVariant>(number) : std::nullopt;
}

bool MemoryTable::before(const QVariantList& a, const QVariantList& b) const
{
    for (const int column : m_indexcolumns) {
        int order = 0;
        if (m_fields[static_cast<std::size_t>(column)].type == Type::Text) {
            order = m_collator.compare(a.at(column).toString(), b.at(column).toString());
        } else {
            const QPartialOrdering c = QVariant::compare(a.at(column), b.at(column));
            order = c == QPartialOrdering::Less ? -1 : c == QPartialOrdering::Greater ? 1 : 0;
        }
        if (order != 0)
            return m_index.descending ? order > 0 : order < 0;
    }
    return false;
}
