#include "counter/SaleLinesModel.h"

#include "counter/SaleLines.h"

#include <algorithm>

SaleLinesModel::SaleLinesModel(SaleLines& lines, QObject* parent)
    : QAbstractTableModel(parent), m_lines(lines)
{
    setObjectName(QStringLiteral("Dsproduits"));
    connect(&lines, &SaleLines::beforeinsert, this, [this](int row) { beginInsertRows({}, row, row); });
    connect(&lines, &SaleLines::afterinsert, this, [this] { endInsertRows(); });
    connect(&lines, &SaleLines::beforeremove, this, [this](int row) { beginRemoveRows({}, row, row); });
    connect(&lines, &SaleLines::afterremove, this, [this] { endRemoveRows(); });
    connect(&lines, &SaleLines::beforeclear, this, [this] { beginResetModel(); });
    connect(&lines, &SaleLines::afterclear, this, [this] { endResetModel(); });
    connect(&lines, &SaleLines::edited, this, [this](int row, SaleLine::Field field) {
        const QModelIndex changed = cell(row, field);
        emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    });
}

QModelIndex SaleLinesModel::cell(int row, SaleLine::Field field) const
{
    return index(row, column(field));
}

int SaleLinesModel::column(SaleLine::Field field)
{
    const auto at = std::find(SaleLine::fields.begin(), SaleLine::fields.end(), field);
    return static_cast<int>(at - SaleLine::fields.begin());
}

SaleLine::Field SaleLinesModel::field(const QModelIndex& index)
{
    return SaleLine::fields.at(static_cast<std::size_t>(index.column()));
}

int SaleLinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_lines.size();
}

int SaleLinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(SaleLine::fields.size());
}

QVariant SaleLinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_lines.at(index.row()).text(field(index));
}

QVariant SaleLinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    return SaleLine::caption(SaleLine::fields.at(static_cast<std::size_t>(section)));
}

Qt::ItemFlags SaleLinesModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool SaleLinesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (m_lines.changing() || !index.isValid() || role != Qt::EditRole || index.row() >= m_lines.size())
        return false;
    return !m_lines.settext(index.row(), field(index), value.toString());
}
