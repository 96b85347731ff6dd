// Stop-gap until the update check lands: nothing is downloaded, so no newer program.
#include "update/update_check.h"

#include "foundation/log.h"

bool gf_checkForUpdates()
{
    gf_logLine("gf_checkForUpdates: this build does not look for updates");
    return true;
}
