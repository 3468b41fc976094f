#include "counter/CounterState.h"

#include "data/MemoryTable.h"

using namespace Qt::StringLiterals;

CounterState::CounterState(QObject* parent) : QObject(parent)
{
    using Type = MemoryTable::Type;
    m_produits = new MemoryTable(u"Produits"_s,
                                 {{u"Code Produit"_s, Type::Text, 20, true},
                                  {u"Quantité"_s, Type::Integer, 0},
                                  {u"Prix Unitaire"_s, Type::Float, 0},
                                  {u"Total"_s, Type::Float, 0}},
                                 this);
    m_produits->seteditable(true);
    m_produits->addaggregate({u"AGG1"_s, u"SUM(Total)"_s});
}
