#pragma once
// What one paint of the main window draws, worked out from a copy of the window state:
// a list of fills, lines and texts that the window's WM_PAINT carries out with GDI.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/version.h"
#include "ui/window_state.h"

struct Colour {
    uint8_t r = 0, g = 0, b = 0;
    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

inline constexpr Colour g_colourGreen{50, 205, 50};
inline constexpr Colour g_colourLightBlue{153, 204, 255};
inline constexpr Colour g_colourYellow{255, 255, 0};
inline constexpr Colour g_colourRed{255, 0, 0};
inline constexpr Colour g_colourBlack{0, 0, 0};
inline constexpr Colour g_colourGrey{160, 160, 160};
inline constexpr Colour g_colourWhite{255, 255, 255};

// The two indicators of the connection block.
inline constexpr ScreenRect g_simIndicator{397, 30, 425, 112};
inline constexpr ScreenRect g_realTrafficIndicator{425, 30, 453, 112};
// Where the message or error text starts.
inline constexpr int g_messageTextX = 3;
inline constexpr int g_messageTextY = 455;

// The height of one line of text in the window's font.
inline constexpr int g_textLineHeight = 16;

struct PaintOp {
    enum class Kind : uint8_t { Fill, Line, Text };
    Kind kind = Kind::Fill;
    Colour colour;
    ScreenRect rect{}; // a fill's rectangle; a line from (left, top) to (right, bottom); a
                       // text's field, which it is clipped to
    int x = 0, y = 0;  // where a text starts
    std::string text;
};

PaintOp gf_fillOp(const ScreenRect& rect, Colour colour);
PaintOp gf_lineOp(int x1, int y1, int x2, int y2, Colour colour);
PaintOp gf_textOp(std::string text, int x, int y, Colour colour);

// A copy of the painted fields of the window state, the texts taken under uiMutex.
struct PaintInput {
    std::string messageText;
    std::string errorText;
    std::array<std::string, static_cast<size_t>(WindowText::Count)> texts;
    float staticAverageAgeHours = -1.0f;
    float liveMeanParkedHours = -1.0f;
    uint64_t liveInSim = 0, simAddonAirports = 0, thirdPartyAirports = 0, liveries = 0, parkedLive = 0,
             staticAircraft = 0, parkStands = 0, staticWaiting = 0;
    int32_t statusRowY = 399, parkingPercentShown = 0, qnhHpa = 0, maxParkCount = 0, parkFileUpdates = 0,
            parkFileWeek = 0;
    bool handmadeParkFile = false, rtIndicatorOff = true, rtLinkUp = false, parkAirportReady = false,
         simConnected = false, flightRunning = false, userModelKnown = true, softFit = false,
         anyWeekdayFit = false, reservedStandFound = false;
    int32_t trafficReaderState = g_readerStopped;
    int32_t weatherReaderState = g_readerStopped;

    const std::string& text(WindowText which) const { return texts[static_cast<size_t>(which)]; }
};

PaintInput gf_capturePaintInput(const WindowState& state);

// What only the window knows: whether these check boxes are enabled (their labels are
// grey while they are not).
struct LabelInputs {
    bool lightAircraftEnabled = true;
    bool helicoptersEnabled = true;
    bool highPerfEnabled = true;
};

// The text of the label that asks the user to mail tblo.zip, shown once it is written.
inline const std::string g_tbloMailRequest = "Please mail tblo\\tblo.zip to " + std::string(g_makerMailAddress);

// The whole paint in drawing order: bands, header, connection block, the labels beside the
// controls (from the settings and the window state), status panel, message or error line.
// Every text is clipped to its field: from where it starts to where the next text,
// control, indicator or separator on its line begins (else the band's end), one line high.
std::vector<PaintOp> gf_planPaint(const PaintInput& input, const LabelInputs& labelInputs);

// The message band green with the message text, when there is one, in yellow.
void gf_paintMessageLine(const std::string& messageText, std::vector<PaintOp>& ops);
