#include "counter/CouponGrid.h"

#include "api/CounterClient.h"
#include "api/QuilbaError.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterRules.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/CouponDelegate.h"
#include "counter/Coupons.h"
#include "members/Lookup.h"
#include "platform/Dialogs.h"
#include "settings/Settings.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>
#include <QToolTip>
#include <algorithm>

CouponGrid::CouponGrid(CounterWindow& window)
    : QObject(&window), m_window(window), m_grid(window.listecoupons()), m_viewport(m_grid->viewport())
{
    m_grid->setItemDelegate(new CouponDelegate(m_grid));
    m_grid->setShowGrid(false);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_viewport->setMouseTracking(true);
    m_viewport->installEventFilter(this);
    m_grid->installEventFilter(this);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &CouponGrid::listecouponsDblClick);
    window.setquerycoupons([this] { querycoupons(); });
}

void CouponGrid::querycoupons()
{
    if (m_window.search()->text().isEmpty())
        return;
    const CounterWindow::Context& context = m_window.context();
    const QString now = nowtext(context.clock);
    Lookup::post(context.client,
                 Coupons::queryline(context.settings.idpharma(), m_window.state().currentmemberid(), now));
    fillcoupons();
}

void CouponGrid::fillcoupons()
{
    ReplyBuffer& buffer = m_window.context().buffer;
    const Coupons::Fill fill = Coupons::readfill(buffer.bytes());
    for (const QByteArray& line : fill.lines)
        buffer.appendline(QString::fromUtf8(line));

    const int filled = static_cast<int>(fill.rows.size());
    if (fill.kind == Coupons::Fill::Kind::List && m_grid->rowCount() < filled)
        m_grid->setRowCount(filled);
    for (int row = 0; row < filled; ++row) {
        for (int column = 0; column < Coupons::ColumnCount; ++column)
            setcell(row, column, fill.rows.at(static_cast<std::size_t>(row)).at(column));
    }
    if (!fill.error.isEmpty())
        throw QuilbaError(fill.error);
    if (fill.kind == Coupons::Fill::Kind::List)
        m_grid->setRowCount(std::max(1, fill.count));
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
    const int row = m_grid->currentRow();
    const QString track = cell(row, Coupons::TrackCode);
    const QString id = cell(row, Coupons::Id);
    const QString value = cell(row, Coupons::Value);
    if (id.isEmpty())
        return;

    const CounterWindow::Context& context = m_window.context();
    if (context.dialogs.question(Coupons::confirmmessage())) {
        // The coupon is marked only once its use is recorded as an event.
        bool sent = false;
        int status = 0;
        bool replied =
            context.client.httpput(Coupons::eventline(m_window.state().currentmemberid(),
                                                      context.settings.idpharma(), value, track, id),
                                   &sent, &status);
        Coupons::UseOutcome use = Coupons::useoutcome(replied, sent, context.buffer.bytes(), status);
        if (use == Coupons::UseOutcome::Recorded) {
            replied = context.client.httpput(Coupons::statusline(id, nowtext(context.clock)), &sent, &status);
            use = Coupons::useoutcome(replied, sent, context.buffer.bytes(), status);
        }
        if (use == Coupons::UseOutcome::NotRecorded)
            context.dialogs.information(Coupons::notrecordedmessage());
        else if (use == Coupons::UseOutcome::Unconfirmed)
            context.dialogs.information(Coupons::unconfirmedmessage());
    }
    m_window.clearcoupons();
    m_window.btsearchClick();
}

void CouponGrid::printcoupon()
{
    if (cell(m_grid->currentRow(), Coupons::Id).isEmpty() || !m_print)
        return;
    m_print(currentcoupon());
}

Tickets::Coupon CouponGrid::currentcoupon() const
{
    const int row = m_grid->currentRow();
    return {cell(row, Coupons::TrackCode), cell(row, Coupons::EndDate), cell(row, Coupons::Value)};
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
    if (!index.isValid())
        return;
    const QString hint = Coupons::hint(cell(index.row(), Coupons::EndDate));
    if (hint == m_grid->toolTip())
        return;
    m_grid->setToolTip(hint);
    QToolTip::showText(global, hint, m_grid->viewport());
}

QString CouponGrid::cell(int row, int column) const
{
    const QTableWidgetItem* item = m_grid->item(row, column);
    return item ? item->text() : QString();
}

void CouponGrid::setcell(int row, int column, const QString& text)
{
    if (QTableWidgetItem* item = m_grid->item(row, column))
        item->setText(text);
    else
        m_grid->setItem(row, column, new QTableWidgetItem(text));
}
