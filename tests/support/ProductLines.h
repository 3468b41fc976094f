#pragma once

#include <QVariantList>
#include <vector>

class MemoryTable;

// Stores product lines as the counter's grid stores a line the pharmacist leaves: each added at
// the end, its cells set through the model, then posted, so that the counter takes the amount
// from the stored lines as it does after every line. False when a line is refused (a cell that
// cannot hold its value, a required cell empty).
bool storeLines(MemoryTable& produits, const std::vector<QVariantList>& lines);
