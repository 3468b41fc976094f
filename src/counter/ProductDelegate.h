#pragma once

#include <QStyledItemDelegate>

// The products grid's cells: a text typed that its number field cannot read is never stored as an
// empty value; `refused` tells which cell and what was typed, and the cell keeps its value.
class ProductDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

signals:
    void refused(const QModelIndex& index, const QString& text, const QString& why) const;
};
