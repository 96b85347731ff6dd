#include "simlink/simconnect/sc_packet.h"

#include <cstring>
#include <new>

ScPacketPtr gf_newScPacket(uint32_t length)
{
    void* block = ::operator new(sizeof(ScPacket) + length, std::nothrow);
    if (block == nullptr)
        return nullptr;
    auto* packet = new (block) ScPacket(length);
    std::memset(packet->data(), 0, length);
    return ScPacketPtr(packet);
}

void ScPacket::Deleter::operator()(ScPacket* packet) const
{
    packet->~ScPacket();
    ::operator delete(packet);
}
