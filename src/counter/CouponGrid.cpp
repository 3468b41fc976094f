#include "counter/CouponGrid.h"

#include "counter/CounterSession.h"
#include "counter/CouponDelegate.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QTableWidget>
#include <QToolTip>

#include <algorithm>

using namespace Qt::StringLiterals;

CouponGrid::CouponGrid(QTableWidget* grid, CounterSession& session, QObject* parent)
    : QObject(parent), m_grid(grid), m_session(session), m_viewport(grid->viewport())
{
    m_grid->setItemDelegate(new CouponDelegate(m_grid));
    m_grid->setShowGrid(false);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setTextElideMode(Qt::ElideLeft);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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
    fitcolumns();
}

void CouponGrid::fitcolumns()
{
    // The coupon's name, its value included, must read whole whatever the count (a scroll bar
    // takes its width from the grid): each button gives up what its caption does not need of its
    // 70 pixels. What still does not fit loses the beginning of the name, never the value.
    const QFontMetrics metrics(m_grid->font());
    const int margins = 2 * (m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1);
    const auto need = [&](int column, const QString& least) {
        int width = metrics.horizontalAdvance(least);
        for (int row = 0; row < m_grid->rowCount(); ++row) {
            if (const QTableWidgetItem* item = m_grid->item(row, column))
                width = std::max(width, metrics.horizontalAdvance(item->text()));
        }
        return width + margins;
    };
    const int label = need(Coupons::Label, QString());
    const int print = need(Coupons::Print, u"Imprimer"_s);
    const int use = need(Coupons::Use, u"Utiliser"_s);
    const int spare = std::max(0, m_viewport->width() - label - print - use) / 2;
    const int printwidth = std::max(print, std::min(70, print + spare));
    const int usewidth = std::max(use, std::min(70, use + spare));
    const int widths[] = {m_viewport->width() - printwidth - usewidth, printwidth, usewidth};
    for (int column = Coupons::Label; column <= Coupons::Use; ++column) {
        if (m_grid->columnWidth(column) != widths[column - Coupons::Label])
            m_grid->setColumnWidth(column, widths[column - Coupons::Label]);
    }
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
    if (event->type() == QEvent::Resize && watched == m_viewport)
        fitcolumns();
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
    const QString hint = Coupons::hint(coupons.at(static_cast<std::size_t>(index.row())));
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
