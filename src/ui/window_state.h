#pragma once
// The main window's state: every subsystem writes the field it owns and invalidates the
// band that shows it; only the window's WM_PAINT reads and paints. Numbers and flags are
// atomics; texts are guarded by uiMutex and copied out for painting.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

struct ScreenRect {
    int left, top, right, bottom;
};

inline constexpr int g_windowClientWidth = 880;
inline constexpr ScreenRect g_headerBand{0, 0, 880, 28};
inline constexpr ScreenRect g_connectionBand{0, 28, 880, 112};
inline constexpr ScreenRect g_controlsBand{0, 112, 880, 392};
inline constexpr ScreenRect g_statusPanelBand{0, 392, 880, 448};
inline constexpr ScreenRect g_messageBand{0, 448, 880, 476};
// The park-airport fields emptied by a reset of the traffic state.
inline constexpr ScreenRect g_parkAirportArea{0, 112, 880, 392};
inline constexpr ScreenRect g_wholeWindow{0, 0, 880, 516};

enum class WindowText : int {
    UserTitle,
    ParkAirportName,
    ParkDetail1,
    ParkDetail2,
    Quality,
    SimConnection,
    RealTrafficEdition,
    UserStand,
    ReservedStand, // the stand reserved in the user's entry of the park airport
    Count
};

// Reader states shown by the indicators.
inline constexpr int32_t g_readerReceiving = 1;
inline constexpr int32_t g_readerSilent = 2;
inline constexpr int32_t g_readerStopped = 3;

struct WindowState {
    virtual ~WindowState() = default;

    // uiMutex guards every text below, and the message cycle. It is a leaf lock: nothing
    // but the log is called while it is held.
    mutable std::mutex uiMutex;
    std::string messageText;
    std::string errorText;
    int32_t messageCycle = 0;
    std::array<std::string, static_cast<size_t>(WindowText::Count)> texts;

    std::atomic<float> staticAverageAgeHours{-1.0f};
    std::atomic<float> liveMeanParkedHours{-1.0f};

    std::atomic<uint64_t> liveInSim{0};
    std::atomic<uint64_t> simAddonAirports{0};
    std::atomic<uint64_t> thirdPartyAirports{0};
    std::atomic<uint64_t> liveries{0};
    std::atomic<uint64_t> parkedLive{0};
    std::atomic<uint64_t> staticAircraft{0};
    std::atomic<uint64_t> parkStands{0};

    std::atomic<int32_t> statusRowY{399};
    std::atomic<int32_t> parkingPercentShown{0};
    std::atomic<int32_t> qnhHpa{0};
    std::atomic<int32_t> maxParkCount{0};
    std::atomic<int32_t> staticCountdownMinutes{0};
    std::atomic<int32_t> cycleCounter{0};
    std::atomic<int32_t> parkFileUpdates{0};
    std::atomic<int32_t> parkFileWeek{0};
    std::atomic<uint64_t> staticWaiting{0};

    std::atomic<bool> handmadeParkFile{false};
    std::atomic<bool> rtIndicatorOff{true};
    std::atomic<bool> rtLinkUp{false};
    std::atomic<bool> parkAirportReady{false};
    std::atomic<bool> simConnected{false};
    std::atomic<bool> flightRunning{false};
    std::atomic<bool> userModelKnown{true};
    std::atomic<bool> softFit{false};
    std::atomic<bool> anyWeekdayFit{false};
    std::atomic<bool> reservedStandFound{false};
    // Painted facts owned elsewhere: the add-on scan wrote tblo.zip; the parking settings
    // are locked for a static-parking update; the park airport's park file is loaded.
    std::atomic<bool> tbloWritten{false};
    std::atomic<bool> settingControlsDisabled{false};
    std::atomic<bool> parkFileLoaded{false};

    std::atomic<int32_t> trafficReaderState{g_readerStopped};
    std::atomic<int32_t> weatherReaderState{g_readerStopped};
};

WindowState& gf_windowState();
// Before a restart of the traffic service: texts emptied, indicators and counters back to
// their start values; repaints the whole window.
void gf_resetWindowState();

// Invalidates a band of the main window; does nothing while no window exists.
void gf_invalidateBand(const ScreenRect& band);
// The window registers how it invalidates (nullptr when it goes).
using InvalidateFunction = void (*)(const ScreenRect& band);
void gf_setInvalidateFunction(InvalidateFunction function);

void gf_setWindowText(WindowText which, std::string text, const ScreenRect& band);
std::string gf_windowText(WindowText which);
