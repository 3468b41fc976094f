#include "ProductLines.h"

#include "data/MemoryTable.h"

bool storeLines(MemoryTable& produits, const std::vector<QVariantList>& lines)
{
    for (const QVariantList& values : lines) {
        const int row = produits.appendpending();
        if (row < 0)
            return false;
        for (int column = 0; column < values.size(); ++column) {
            if (!produits.setData(produits.index(row, column), values[column]))
                return false;
        }
        if (produits.post(row))
            return false;
    }
    return true;
}
