#pragma once
// Records sent on a connection while a burst is open, from any thread, wait and leave
// together when it closes: one frame's commands then take a few writes, not hundreds.
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
