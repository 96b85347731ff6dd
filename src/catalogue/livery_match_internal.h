#pragma once
// The steps of the livery matching that the live and the static cascade share, and that
// the tests reach one by one. A step writes the aircraft's title: a view of a title of the
// livery tables, or empty.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/livery_tables.h"

struct AcIdentity;

// The title of the registration through g_registrationLiveries (emptied when it has none);
// an empty registration leaves the title alone. True when the title is not empty.
bool lf_matchRegistrationLivery(AcIdentity& ac);
// The key's titles of one table (g_paxTable or g_cargoTable), one of them picked.
bool lf_matchAirlineType(AcIdentity& ac, std::string_view airline, std::string_view type, size_t table);
// The cargo table first for a cargo aircraft, then the passenger table.
bool lf_matchOwnAirlineType(AcIdentity& ac, std::string_view airline, std::string_view type);
// The airline's similar types of the aircraft's own category.
bool lf_matchSimilarTypes(AcIdentity& ac, std::string_view airline, std::string_view type);
// Any airline's livery of the type, from the cargo table for a cargo aircraft, else the
// passenger table.
bool lf_matchGenericLivery(AcIdentity& ac, std::string_view type);
// The private, generic and similar generic liveries; step becomes 4, 5 or 6 of the title
// found.
void lf_matchFallbackLivery(AcIdentity& ac, int32_t& step, int32_t depth);
// One of the titles, avoiding those reserved for registrations and those the simulator
// failed to create (emptied when only failed ones remain); an empty list leaves the title
// alone.
void lf_pickRandomLivery(AcIdentity& ac, const TitleList& titles);
// Rejects (empties) a title the simulator failed to create; else counts, logs and sets the
// "FSLTL_" flag.
bool lf_acceptLiveryMatch(AcIdentity& ac, int32_t step);
bool lf_isFailedLiveryTitle(std::string_view title);
