#pragma once

#include "counter/SaleLine.h"

#include <vector>

class SaleLines;

// Stores product lines as the counter's grid stores a line the pharmacist types: each added at
// the end, each field typed as its cell shows it, then stored, so that the counter takes the
// amount from the stored lines as it does after every line. False when a line is refused (a text
// its field cannot hold, no code).
bool storeLines(SaleLines& produits, const std::vector<SaleLine>& lines);
