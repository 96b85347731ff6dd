#pragma once
// Every setting of the program and every push button of the main window, named by its
// key in parameters.xml (or its caption), with the registries that decide whether and in
// which order a setting is stored in parameters.xml. All are built in one translation
// unit, so their construction order is the order of settings_catalogue.cpp.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/settings_model.h"

extern BoolParameter RANDOM;

extern CheckBoxParameter AEROWINX;
extern CheckBoxParameter COLLISION_USER_AIR;
extern CheckBoxParameter COLLISION_USER_GND;
extern CheckBoxParameter COLLISION_LIVE_PARKED_GND;
extern CheckBoxParameter ALWAYS_ON_TOP;
extern CheckBoxParameter SCAN_LIVERIES;
extern CheckBoxParameter LIG_PRIORITIZE;
extern CheckBoxParameter AIRBORNE_ONLY;
extern CheckBoxParameter SCAN_AIRPORTS;
extern CheckBoxParameter LIGHT_AIRCRAFT;
extern CheckBoxParameter HELICOPTERS;
extern CheckBoxParameter HIGH_PERF_AIRCRAFT;
extern CheckBoxParameter NAV_LIGHTS_WHILE_PARKED;
extern CheckBoxParameter AUTO_RANGE;
extern CheckBoxParameter STRAIGHT_PBS_ONLY;
extern CheckBoxParameter PARK_SOFT;
extern CheckBoxParameter WEEK;
extern CheckBoxParameter INITIAL_LOAD_ONLY;
extern CheckBoxParameter GUID_CHANGES;

extern IntParameter CUSTOM_PARKING_PERCENTAGE;
extern IntParameter MAIN_WINDOW_X;
extern IntParameter MAIN_WINDOW_Y;
// Key "LAST_EPOCH_TIME:" (with the colon); kept in the file, read by nothing.
extern IntParameter LAST_EPOCH_TIME;
extern IntParameter HOLDING_THRESHOLD_METERS;
extern IntParameter MAX_HOLDING_MINUTES;
extern IntParameter MAX_FIT;
extern IntParameter P3D_VERSION;

extern ListParameter MATCHING_DEPTH;
extern ListParameter RANGE;
extern ListParameter AR_ABOVE_HEIGHT;
extern ListParameter MAX_PARK_SEL;
extern ListParameter MAX_LIVE_SEL;
extern ListParameter AIRP_RANGE;
extern ListParameter AIRP_HEIGHT;
// Not stored: the start of every run sets it.
extern ListParameter parking_percentage;
// Not stored: hours shown for MAX_FIT.
extern FloatListParameter MAX_FIT_FL;

extern StringParameter PROGRAM_VERSION;
extern StringParameter SIM_INSTALL_PATH;
extern StringParameter PORT_NUMBER;
// Keys "lfolder0" to "lfolder9": the user's livery folders.
extern std::array<StringParameter, 10> lfolder;
// Keys "afolder0" to "afolder9": the user's add-on airport folders.
extern std::array<StringParameter, 10> afolder;
extern StringParameter AIG_VERSION;
extern StringParameter DBASE_VERSION;
extern StringParameter AIRPORTS_VERSION;
extern StringParameter LIV_SCAN_VERSION;
extern StringParameter ADDONS_SCAN_VERSION;
extern EditParameter DESTINATION;
extern EditParameter BLOCK_CALLSIGN;
// Not stored: the install path shown and entered in the window.
extern EditParameter ALL_INSTALL_PATH;

// The texts of the CALLSIGN_2_OBJECTID list; one empty text at the start.
extern std::shared_ptr<TextChoices> g_callsignChoices;
extern TextChoiceParameter CALLSIGN_2_OBJECTID;

extern Button g_flushStaticButton; // "Flush static"
extern Button g_tbloButton;        // "tblo"
extern Button g_unblockButton;     // "Unblock"
extern Button g_csOidButton;       // "cs->oid:"
extern Button g_blockButton;       // "Block"
extern Button g_nowButton;         // "Now"
extern Button g_rereadButton;      // "Re-read"

// The registries, in the order parameters.xml is read and written. AIRP_HEIGHT stands in
// g_intParams and in g_listParams and is therefore stored twice.
extern const std::vector<BoolParameter*> g_hiddenBoolParams;
extern const std::vector<CheckBoxParameter*> g_boolParams;
extern const std::vector<IntParameter*> g_intParams;
extern const std::vector<ListParameter*> g_listParams;
extern const std::vector<StringParameter*> g_stringParams;
extern const std::vector<EditParameter*> g_blockCallsignParams;

// RANGE in nautical miles and in metres; set whenever a range is selected or chosen
// automatically (reading parameters.xml does not set them).
extern std::atomic<double> g_rangeNm;
extern std::atomic<int32_t> g_rangeMetres;
