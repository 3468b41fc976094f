#include "GridReading.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTest>
#include <QToolTip>

namespace {

QString tooltipat(QWidget* widget, const QPoint& at)
{
    // A tooltip goes a moment after it is told to.
    QToolTip::hideText();
    // Gone or not, the help event below asks for the tooltip afresh.
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); });
    QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &help);
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); });
    return shown;
}

} // namespace

QStringList GridReading::cuttitles(const QTableView* view)
{
    const QHeaderView* header = view->horizontalHeader();
    QStringList cut;
    for (int column = 0; column < view->model()->columnCount(); ++column) {
        if (view->isColumnHidden(column))
            continue;
        const QString title = view->model()->headerData(column, Qt::Horizontal).toString();
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = QRect(0, 0, header->sectionSize(column), header->height());
        const QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
        if (header->fontMetrics().horizontalAdvance(title) > label.width())
            cut.append(title);
    }
    return cut;
}

QStringList GridReading::cuttexts(const QTableView* view, int column)
{
    // The item's text is drawn inside its cell less a margin each side.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    QStringList cut;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex index = view->model()->index(row, column);
        const QString text = index.data().toString();
        if (view->fontMetrics().horizontalAdvance(text) > view->columnWidth(column) - 2 * margin)
            cut.append(text);
    }
    return cut;
}

bool GridReading::fits(const QTableView* view)
{
    int width = 0;
    for (int column = 0; column < view->model()->columnCount(); ++column)
        width += view->isColumnHidden(column) ? 0 : view->columnWidth(column);
    return width <= view->viewport()->width() && view->horizontalScrollBar()->maximum() == 0;
}

QString GridReading::tooltip(QTableView* view, const QModelIndex& index)
{
    return tooltipat(view->viewport(), view->visualRect(index).center());
}

QString GridReading::titletooltip(QTableView* view, int column)
{
    QHeaderView* header = view->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    return tooltipat(header->viewport(), QPoint(x, header->height() / 2));
}
