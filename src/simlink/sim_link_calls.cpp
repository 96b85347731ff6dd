#include "simlink/sim_link_calls.h"

#include "simlink/sim_link_product.h"

namespace {
SimLinkCalls& lf_current()
{
    static SimLinkCalls calls = gf_productSimLinkCalls();
    return calls;
}
} // namespace

const SimLinkCalls& gf_simLink()
{
    return lf_current();
}

void gf_setSimLinkCalls(const SimLinkCalls& calls)
{
    lf_current() = calls;
}

void gf_resetSimLinkCalls()
{
    lf_current() = gf_productSimLinkCalls();
}
