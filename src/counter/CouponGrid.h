#pragma once

#include "counter/Tickets.h"

#include <QObject>
#include <QString>
#include <functional>

class CounterWindow;
class QTableWidget;
class QWidget;

// The coupon grid `listecoupons` of the counter window at work: the query that fills it after
// every member shown, the validity hint, and the double clicks (or Enter and Space) that use a
// coupon or print its ticket.
class CouponGrid final : public QObject
{
    Q_OBJECT
public:
    // Takes over the window's grid and becomes the window's coupon query.
    explicit CouponGrid(CounterWindow& window);

    // Sends the coupon query of the member shown and fills the grid. Nothing when the search
    // field is empty. A failed post raises QueryFailure, a coupon lacking a key QuilbaError
    // (after the rows before it are filled).
    void querycoupons();
    // Fills the grid from the reply buffer.
    void fillcoupons();
    // The action of the current cell: "Utiliser" uses the coupon, "Imprimer" prints its ticket.
    void listecouponsDblClick();
    // After confirmation, records the use of the current row's coupon on the platform; then, also
    // after No, the cells are emptied and the member looked up again. A row without a coupon does
    // nothing.
    void usecoupon();
    // Hands the current row's coupon to the print hook; a row without a coupon does nothing.
    void printcoupon();

    // What prints a coupon's ticket (the ticket chooses its layout from the value).
    void setprintcoupon(std::function<void(const Tickets::Coupon&)> print) { m_print = std::move(print); }
    // The current row as the ticket reads it.
    Tickets::Coupon currentcoupon() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void listecouponsMouseMove(const QPoint& position, const QPoint& global);
    QString cell(int row, int column) const;
    void setcell(int row, int column, const QString& text);

    CounterWindow& m_window;
    QTableWidget* m_grid;
    // The grid's viewport, whose mouse moves show the hint. Kept so that the filter never calls
    // into the grid: the viewport still sends events while the grid is being destroyed.
    QWidget* m_viewport;
    std::function<void(const Tickets::Coupon&)> m_print;
};
