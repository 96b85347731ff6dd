#include "simlink/simconnect/send_burst.h"

#include "simlink/simconnect/connection.h"

ScSendBurst::ScSendBurst(ScHandle handle) : handle_(handle)
{
    if (handle_ != nullptr)
        handle_->transport->holdWrites();
}

ScSendBurst::~ScSendBurst()
{
    if (handle_ != nullptr)
        handle_->transport->releaseWrites();
}
