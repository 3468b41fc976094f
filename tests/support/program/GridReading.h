#pragma once

#include <QString>
#include <QStringList>

class QModelIndex;
class QTableView;

// What a person reads of a grid as Qt draws it: the titles and texts their columns cut, whether
// part of it lies off to the side, and the tooltip a pointer at rest shows.
namespace GridReading {

// The titles of the visible columns that do not show whole.
QStringList cuttitles(const QTableView* view);
// The texts of the cells of a column that do not show whole.
QStringList cuttexts(const QTableView* view, int column);
// True when the visible columns fill the grid's width, none of them off to the side.
bool fits(const QTableView* view);
// The tooltip shown with the pointer at rest on a cell, or on a column's title; empty when none.
QString tooltip(QTableView* view, const QModelIndex& index);
QString titletooltip(QTableView* view, int column);

} // namespace GridReading
