#include "simlink/simconnect/send_burst.h"

#include "simlink/simconnect/connection.h"

ScSendBurst::ScSendBurst(ScHandle handle) : handle_(handle)
{
    if (handle_ != nullptr)
        gf_scOpenBurst(*handle_);
}

ScSendBurst::~ScSendBurst()
{
    if (handle_ != nullptr)
        gf_scCloseBurst(*handle_);
}
