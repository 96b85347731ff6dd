#pragma once
// The product's table of simulator-link calls.
#include "simlink/sim_link_calls.h"

SimLinkCalls gf_productSimLinkCalls();
