#include "counter/CouponGrid.h"

#include "counter/CounterSession.h"
#include "counter/CouponDelegate.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableWidget>
#include <QToolTip>

CouponGrid::CouponGrid(QTableWidget* grid, CounterSession& session, QObject* parent)
    : QObject(parent), m_grid(grid), m_session(session), m_viewport(grid->viewport())
{
    m_grid->setItemDelegate(new CouponDelegate(m_grid));
    m_grid->setShowGrid(false);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_viewport->setMouseTracking(true);
    m_viewport->installEventFilter(this);
    m_grid->installEventFilter(this);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &CouponGrid::listecouponsDblClick);
}

void CouponGrid::show(const std::vector<Coupons::Coupon>& coupons)
{
    const int rows = static_cast<int>(coupons.size());
    if (m_grid->rowCount() != rows)
        m_grid->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < Coupons::ColumnCount; ++column)
            setcell(row, column, coupons.at(static_cast<std::size_t>(row)).cell(column));
    }
    // A cursor on a row without a coupon shows nothing to act on: an emptied grid keeps no
    // highlighted cell, and reached again from the keyboard it starts on the first "Utiliser".
    const int current = m_grid->currentRow();
    if (current >= 0 && (current >= rows || coupons.at(static_cast<std::size_t>(current)).isnone()))
        m_grid->selectionModel()->clear();
}

void CouponGrid::querycoupons()
{
    m_session.querycoupons();
}

void CouponGrid::listecouponsDblClick()
{
    switch (m_grid->currentColumn()) {
    case Coupons::Use:
        usecoupon();
        break;
    case Coupons::Print:
        printcoupon();
        break;
    default:
        break;
    }
}

void CouponGrid::usecoupon()
{
    const Coupons::Coupon coupon = currentcoupon();
    if (!coupon.isnone() && m_use)
        m_use(coupon);
}

void CouponGrid::printcoupon()
{
    const Coupons::Coupon coupon = currentcoupon();
    if (!coupon.isnone() && m_print)
        m_print(coupon);
}

Coupons::Coupon CouponGrid::currentcoupon() const
{
    const std::vector<Coupons::Coupon>& coupons = m_session.shown().coupons;
    const int row = m_grid->currentRow();
    if (row < 0 || row >= static_cast<int>(coupons.size()))
        return {};
    return coupons.at(static_cast<std::size_t>(row));
}

bool CouponGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        // Enter or Space on a cell acts as a double click on it.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool press =
            key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
        if (press && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            listecouponsDblClick();
            return true;
        }
    }
    if (watched == m_grid && event->type() == QEvent::FocusIn &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason &&
        !m_grid->currentIndex().isValid())
        // Reached from the keyboard, the cursor starts on the first coupon's "Utiliser".
        m_grid->setCurrentCell(0, Coupons::Use);
    if (event->type() == QEvent::MouseMove && watched == m_viewport) {
        const auto* move = static_cast<QMouseEvent*>(event);
        listecouponsMouseMove(move->position().toPoint(), move->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

void CouponGrid::listecouponsMouseMove(const QPoint& position, const QPoint& global)
{
    const QModelIndex index = m_grid->indexAt(position);
    const std::vector<Coupons::Coupon>& coupons = m_session.shown().coupons;
    if (!index.isValid() || index.row() >= static_cast<int>(coupons.size()))
        return;
    const QString hint = Coupons::hint(coupons.at(static_cast<std::size_t>(index.row())).enddate);
    if (hint == m_grid->toolTip())
        return;
    m_grid->setToolTip(hint);
    QToolTip::showText(global, hint, m_grid->viewport());
}

void CouponGrid::setcell(int row, int column, const QString& text)
{
    if (QTableWidgetItem* item = m_grid->item(row, column)) {
        if (item->text() != text)
            item->setText(text);
    } else {
        m_grid->setItem(row, column, new QTableWidgetItem(text));
    }
}
