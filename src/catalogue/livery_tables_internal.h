#pragma once
// The steps of the livery tables' build and of the registration-code merge that the
// tests reach one by one.
#include <optional>
#include <string>
#include <vector>

#include "catalogue/regcodes.h"

// g_scannedLiveries (sorted by airline, type, title) -> g_airlineTypeLiveries.
void lf_buildAirlineTypeTable();
// g_airlineTypeLiveries -> g_liveryTables.
void lf_buildPaxCargoTables();
// The types under "ZZZ", or nothing when that airline has no livery.
std::optional<std::vector<std::string>> lf_privateLiveryTypes();
// Appends each type to the list of the first category whose flag is set, and logs the
// types twenty to a line.
void lf_logTypeList(bool light, bool buzjet, bool rotorcraft, const std::vector<std::string>& types);

// The registrations the liveries carry themselves; clashes go to InlineRegcodes.txt.
void lf_mergeInlineRegcodes();
// Registrations of later sources replace those of earlier ones.
void lf_mergeRegcodes(std::vector<RegcodeRecord> records);
