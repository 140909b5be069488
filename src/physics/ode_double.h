// Every physics source includes the physics library through this header:
// the bike's tuning (stiff joints, fast-spinning wheels, soft contacts) only
// holds with double-precision bodies, so a single-precision build must not
// compile at all rather than quietly change results.
#pragma once
#include <ode/ode.h>

#if !defined(dDOUBLE) || defined(dSINGLE)
#error "the physics library must be the double-precision build"
#endif
static_assert(sizeof(dReal) == sizeof(double), "dReal must be double");
