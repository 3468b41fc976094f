#pragma once

#include <QStyledItemDelegate>

// Draws the coupon grid's cells: the grid's own drawing with horizontal lines only, and over it
// the "Imprimer" (silver) and "Utiliser" (green) cells as buttons, their text centred in white;
// a frame round the cell that has the keyboard.
class CouponDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
