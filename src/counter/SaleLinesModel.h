#pragma once

#include "counter/SaleLine.h"

#include <QAbstractTableModel>

class SaleLines;

// The products grid's view of the sale's lines: one column per field of a line, in the order of
// SaleLine::fields, titled by its caption; the cells show and take the texts of SaleLine::text and
// SaleLines::settext. Every change of the lines, whoever makes it, reaches the grid.
class SaleLinesModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SaleLinesModel(SaleLines& lines, QObject* parent = nullptr);

    SaleLines& lines() { return m_lines; }
    // The cell of a field of a line.
    QModelIndex cell(int row, SaleLine::Field field) const;
    // The column of a field, and the field of a cell.
    static int column(SaleLine::Field field);
    static SaleLine::Field field(const QModelIndex& index);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // False when the text cannot be held by the field (SaleLine::unreadable) or the lines are
    // changing.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    SaleLines& m_lines;
};
