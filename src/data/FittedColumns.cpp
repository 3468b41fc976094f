#include "data/FittedColumns.h"

#include "data/ColumnFit.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace {

// A long list is measured by its first rows: a text wider than those is cut, and reads whole as
// its tooltip.
constexpr int measuredrows = 500;

} // namespace

FittedColumns::FittedColumns(QTableView* view, std::vector<int> most)
    : QObject(view), m_view(view), m_most(std::move(most))
{
    QHeaderView* header = m_view->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    // A bold title (the section of the selected row) would no longer fit its width.
    header->setHighlightSections(false);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One line a row: a text cut ends with "…", never runs onto a second line the row cannot show.
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->setWordWrap(false);
    m_view->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);
    if (QAbstractItemModel* model = m_view->model()) {
        connect(model, &QAbstractItemModel::modelReset, this, &FittedColumns::later);
        connect(model, &QAbstractItemModel::rowsInserted, this, &FittedColumns::later);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &FittedColumns::later);
        connect(model, &QAbstractItemModel::dataChanged, this, &FittedColumns::later);
        connect(model, &QAbstractItemModel::layoutChanged, this, &FittedColumns::later);
    }
}

void FittedColumns::later()
{
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_pending)
            fit();
    });
}

int FittedColumns::titlemargin() const
{
    QHeaderView* header = m_view->horizontalHeader();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.rect = QRect(0, 0, 1000, header->height());
    const QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
    return option.rect.width() - label.width() + 2;
}

int FittedColumns::cellmargin() const
{
    return 2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1) + 2;
}

void FittedColumns::fit()
{
    m_pending = false;
    const QAbstractItemModel* model = m_view->model();
    if (!model)
        return;
    QHeaderView* header = m_view->horizontalHeader();
    const QFontMetrics titles = header->fontMetrics();
    const QFontMetrics cells = m_view->fontMetrics();
    const int titlemargin = this->titlemargin();
    const int cellmargin = this->cellmargin();
    const int rows = std::min(model->rowCount(), measuredrows);

    std::vector<int> shown;
    std::vector<ColumnFit::Column> columns;
    for (int column = 0; column < model->columnCount(); ++column) {
        if (m_view->isColumnHidden(column))
            continue;
        ColumnFit::Column c;
        c.title =
            titles.horizontalAdvance(model->headerData(column, Qt::Horizontal).toString()) + titlemargin;
        for (int row = 0; row < rows; ++row) {
            const QString text = model->index(row, column).data().toString();
            if (!text.isEmpty())
                c.content = std::max(c.content, cells.horizontalAdvance(text) + cellmargin);
        }
        c.most = column < static_cast<int>(m_most.size()) ? m_most[static_cast<std::size_t>(column)] : -1;
        shown.push_back(column);
        columns.push_back(c);
    }
    const std::vector<int> widths = ColumnFit::fit(columns, m_view->viewport()->width());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (header->sectionSize(shown[i]) != widths[i])
            header->resizeSection(shown[i], widths[i]);
    }
}

bool FittedColumns::eventFilter(QObject* watched, QEvent* event)
{
    // Only a resize or a tooltip touches the view: the other events include those its viewport
    // gets while the view is being destroyed, when it is no longer a view.
    if (event->type() != QEvent::Resize && event->type() != QEvent::ToolTip)
        return false;
    if (watched == m_view->viewport() && event->type() == QEvent::Resize) {
        fit();
        return false;
    }
    if (event->type() != QEvent::ToolTip)
        return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    QString text;
    bool cut = false;
    if (watched == m_view->viewport()) {
        const QModelIndex index = m_view->indexAt(help->pos());
        // A tooltip of the cell's own says more than its text.
        if (!index.isValid() || !index.data(Qt::ToolTipRole).toString().isEmpty())
            return false;
        text = index.data().toString();
        cut =
            m_view->fontMetrics().horizontalAdvance(text) + cellmargin() > m_view->visualRect(index).width();
    } else if (watched == m_view->horizontalHeader()->viewport()) {
        QHeaderView* header = m_view->horizontalHeader();
        const int column = header->logicalIndexAt(help->pos());
        if (column < 0 || !m_view->model())
            return false;
        text = m_view->model()->headerData(column, Qt::Horizontal).toString();
        cut = header->fontMetrics().horizontalAdvance(text) + titlemargin() > header->sectionSize(column);
    } else {
        return false;
    }
    if (cut)
        QToolTip::showText(help->globalPos(), text, static_cast<QWidget*>(watched));
    else
        QToolTip::hideText();
    return true;
}
