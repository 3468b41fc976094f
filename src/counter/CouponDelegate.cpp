#include "counter/CouponDelegate.h"

#include "counter/Coupons.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QStyle>

void CouponDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);

    const QRect cell = option.rect;
    const QString text = index.data().toString();
    const int column = index.column();
    painter->save();
    painter->setClipRect(cell);
    if ((column == Coupons::Use || column == Coupons::Print) && !text.isEmpty()) {
        // A use waiting for the platform's confirmation is no button: amber, as the counter's
        // waiting writes.
        const QColor fill = column == Coupons::Print               ? QColor(192, 192, 192)
                            : text == Coupons::confirmingcaption() ? QColor(176, 80, 0)
                                                                   : QColor(0, 128, 0);
        painter->fillRect(cell, fill);
        const QFontMetrics metrics(option.font);
        const int width = metrics.horizontalAdvance(text);
        const int height = metrics.height();
        // Edges as the cell's outer bounds: right and bottom are one past the last pixel.
        const int x = (cell.left() + cell.left() + cell.width() - width) / 2;
        const int y = (cell.top() + cell.top() + cell.height() - height) / 2;
        painter->setFont(option.font);
        painter->setPen(Qt::white);
        painter->drawText(QRect(x, y, width, height), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          text);
    }
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const auto gridcolour =
        static_cast<QRgb>(style->styleHint(QStyle::SH_Table_GridLineColor, &option, option.widget));
    painter->setPen(QColor::fromRgba(gridcolour));
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    // The cell the keys act on shows, over the coloured buttons too.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(Qt::black, 2));
        painter->drawRect(cell.adjusted(1, 1, -1, -1));
    }
    painter->restore();
}
