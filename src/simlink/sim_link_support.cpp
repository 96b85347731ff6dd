// Texts from the simulator, and the neighbours the simulator link asks.
#include <atomic>

#include "foundation/text.h"
#include "foundation/text_files.h"
#include "parking/park_airports.h"
#include "simlink/sim_client_internal.h"

namespace {

bool lf_isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

const SimLinkNeighbours kRealNeighbours{&gf_halfWingspan, &gf_typeCategory, &gf_writeMyParkAirports};
std::atomic<const SimLinkNeighbours*> g_neighbours{&kRealNeighbours};

} // namespace

std::string lf_simText(std::string_view raw, size_t maxCharacters)
{
    std::string text = gf_isValidUtf8(raw) ? std::string(raw) : gf_ansiToUtf8(raw);
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (lf_isContinuationByte(text[i]))
            continue;
        if (characters++ == maxCharacters) {
            text.resize(i);
            break;
        }
    }
    return text;
}

std::string_view lf_cutToBytes(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    size_t end = maxBytes;
    while (end > 0 && lf_isContinuationByte(text[end]))
        --end;
    return text.substr(0, end);
}

const SimLinkNeighbours& lf_neighbours()
{
    return *g_neighbours.load();
}

void gf_setSimLinkNeighboursForTests(const SimLinkNeighbours* doubles)
{
    g_neighbours = doubles != nullptr ? doubles : &kRealNeighbours;
}
