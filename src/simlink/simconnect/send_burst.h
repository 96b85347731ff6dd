#pragma once
// The records a thread sends on a stream connection while its burst is open leave
// together in one packet, and so in one write, when it closes: one frame's commands cost
// one write, not hundreds. On a pipe each stays a message of its own. Other threads'
// records wait for the close.
#include "simlink/simconnect/simconnect_api.h"

class ScSendBurst {
public:
    explicit ScSendBurst(ScHandle handle);
    ~ScSendBurst();
    ScSendBurst(const ScSendBurst&) = delete;
    ScSendBurst& operator=(const ScSendBurst&) = delete;

private:
    ScHandle handle_;
};
