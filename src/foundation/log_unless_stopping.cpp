#include "foundation/log_unless_stopping.h"

#include "foundation/log.h"
#include "foundation/stop_state.h"

void gf_logUnlessStopping(std::string_view text)
{
    if (!gf_stopPending())
        gf_logLine(text);
}
