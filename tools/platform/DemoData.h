#pragma once

#include "Clock.h"
#include "Store.h"

// The demo's members, children, sales and coupons, dated relative to the clock's "now" so that open
// coupons are open and old ones have expired whenever the demo runs. Deterministic for a given "now".
class DemoData final
{
public:
    // Fills an empty store; a store that already holds members is left alone. Answers whether it seeded.
    static bool seed(Store& store, const Clock& clock);
};
