#pragma once

#include <QObject>
#include <vector>

class QTableView;

// Keeps the visible columns of a grid within its width (ColumnFit): every title whole while it
// can, no scrolling sideways, refitted as rows come and go and as the grid's width changes (a
// scroll bar shows). A text cut to its column, in a cell or a title, shows whole as its tooltip.
class FittedColumns final : public QObject
{
    Q_OBJECT
public:
    // `most`: the widest each column of the model may be while every title fits (-1 or missing:
    // no bound). Hidden columns are left alone.
    explicit FittedColumns(QTableView* view, std::vector<int> most = {});

    // Fits the columns now.
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void later();
    // Pixels a title and a cell text need beside their text.
    int titlemargin() const;
    int cellmargin() const;

    QTableView* m_view;
    std::vector<int> m_most;
    bool m_pending = false;
};
