// Stop-gap until the registration table of the scanned liveries lands: no registration has
// a livery of its own.
#include "catalogue/liveries.h"

std::string_view gf_registrationLiveryTitle(std::string_view)
{
    return {};
}
