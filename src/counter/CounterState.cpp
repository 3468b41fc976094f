#include "counter/CounterState.h"

#include "counter/SaleLines.h"

CounterState::CounterState(QObject* parent) : QObject(parent), m_produits(new SaleLines(this)) {}
