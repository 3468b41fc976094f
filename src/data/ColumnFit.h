#pragma once

#include <vector>

// How the visible columns of a grid share its width, so that every column shows and no grid has
// to scroll sideways.
namespace ColumnFit {

struct Column
{
    int title = 0;   // pixels its title needs whole
    int content = 0; // pixels its widest text needs whole
    int most = -1;   // the width it is given at most, when there is room for every title; -1: none
};

// The widths, in column order, summing to `available` (when it is at least one pixel a column).
// Each column wants its title and its content whole, but no more than `most` (its title always
// counts). When the wants do not fit, every title stays whole while it can and the widest wants
// give way first: the columns are cut to one bound, the largest that fits, so that short texts
// (a card number, a postcode, points) stay whole and long ones are cut; when even the titles do
// not fit, all shrink in proportion to them. Room left over goes first to the columns whose
// content is cut, then to every column in proportion to its width.
std::vector<int> fit(const std::vector<Column>& columns, int available);

} // namespace ColumnFit
