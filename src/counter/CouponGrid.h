#pragma once

#include "counter/Coupons.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class CounterSession;
class QTableWidget;
class QWidget;

// The coupon grid `listecoupons` of the counter window: it shows the session's coupons, one per
// row, with the validity hint over each, and hands a double click (or Enter and Space) on
// "Utiliser" or "Imprimer" to the action set for it.
class CouponGrid final : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void(const Coupons::Coupon&)>;

    CouponGrid(QTableWidget* grid, CounterSession& session, QObject* parent = nullptr);

    // Shows the coupons, one per row; an empty coupon is an empty row.
    void show(const std::vector<Coupons::Coupon>& coupons);
    // The action of the current cell: "Utiliser" uses the coupon, "Imprimer" prints its ticket.
    void listecouponsDblClick();
    // Hands the current row's coupon to the use action; a row without a coupon does nothing.
    void usecoupon();
    // Hands the current row's coupon to the print action; a row without a coupon does nothing.
    void printcoupon();

    void setusecoupon(Action use) { m_use = std::move(use); }
    void setprintcoupon(Action print) { m_print = std::move(print); }
    // The coupon of the current row.
    Coupons::Coupon currentcoupon() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void listecouponsMouseMove(const QPoint& position, const QPoint& global);
    // The widths of the name and the two buttons, from what the grid's width leaves.
    void fitcolumns();
    void setcell(int row, int column, const QString& text);

    QTableWidget* m_grid;
    CounterSession& m_session;
    // The grid's viewport, whose mouse moves show the hint. Kept so that the filter never calls
    // into the grid: the viewport still sends events while the grid is being destroyed.
    QWidget* m_viewport;
    Action m_use;
    Action m_print;
};
