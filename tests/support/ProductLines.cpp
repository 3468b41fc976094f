#include "ProductLines.h"

#include "counter/SaleLines.h"

bool storeLines(SaleLines& produits, const std::vector<SaleLine>& lines)
{
    for (const SaleLine& line : lines) {
        const int row = produits.appendpending();
        if (row < 0)
            return false;
        for (const SaleLine::Field field : SaleLine::fields) {
            if (produits.settext(row, field, line.text(field)))
                return false;
        }
        if (produits.store(row))
            return false;
    }
    return true;
}
