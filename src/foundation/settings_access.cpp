#include "foundation/settings_access.h"

bool gf_randomChoicesOn()
{
    return true;
}
