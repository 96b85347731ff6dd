#include "foundation/settings_access.h"

#include "foundation/settings_catalogue.h"

bool gf_randomChoicesOn()
{
    return RANDOM.value;
}
