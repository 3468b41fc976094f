#pragma once

#include "outbox/KeptSales.h"

#include <QString>

// What keptsales_child, the program tst_keptsales kills in the middle of its writes, writes: the
// test checks every row it finds against these.
namespace KeptSalesChild {

// The sale kept as number n (its id in a fresh file): a request of 64 KiB, so that each keep
// writes many pages.
KeptSale sale(int number);
// The failure noted by the child's release of a sale on its attempt n.
QString failure(int attempts);

} // namespace KeptSalesChild
