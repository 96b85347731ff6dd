// Stop-gap until the add-on airport scanner lands.
#include "scanner/addon_scan.h"

#include "foundation/log.h"

void gf_scanAddonAirports()
{
    gf_logErrorLine("gf_scanAddonAirports: this build cannot scan add-on airports");
}
