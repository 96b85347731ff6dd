#pragma once
// Steps of the park files that the tests reach directly.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "parking/park_airport_file.h"
#include "parking/park_file.h"

struct OptTexts {
    std::string cs1;
    std::string cs2;
    std::string airl;
    std::string type;
};

// Appends the stands of the document's "parkpositions" to the table, their flights of
// origin 1; a copy of each "parkpos" that is not used goes to refused, when given, and of
// each "opt" that is not used too (see lf_setOptAside). Throws tav::UserErrorException 93
// (missing or empty id) or 94 (duplicate id).
void lf_readParkpositions(const pugi::xml_node& doc, std::vector<ParkStand>& table, pugi::xml_node refused = {});
// Beyond this a radius is damage, not a stand: the largest aircraft needs some 40 m.
inline constexpr double g_mostStandRadiusMetres = 1000.0;
// Reads one stand and appends it, its heading brought into 0..360 degrees and its radius
// into 0..g_mostStandRadiusMetres; nullptr when it was skipped (at 0, 0, or with a
// position out of range or a value that is not a number). Flights whose day is no
// weekday go to kept, when given (see lf_setOptAside).
ParkStand* lf_readParkpos(const pugi::xml_node& parkpos, std::string id, uint32_t origin,
                          std::vector<ParkStand>& table, pugi::xml_node kept = {});
// The weekday 1..7 of an "opt", read as an unsigned number: blanks around it, a leading
// '+' and a fraction of zeros ("3.0") are taken; nothing when it is no such number or no
// weekday.
std::optional<uint32_t> lf_optDay(const pugi::xml_node& opt);
// An "opt" whose day is no weekday is logged and, when kept is given, copied into kept's
// "opts" element of the stand id: the save of the learned file writes it back, so that a
// hand-edited flight is never lost.
void lf_setOptAside(const pugi::xml_node& opt, std::string_view reader, std::string_view id, pugi::xml_node kept);
OptTexts lf_readOptTexts(const pugi::xml_node& opt);
bool lf_writeApfParameters(pugi::xml_node root, const ApfContent& content, ApfMode mode);

// Sources: empty when the code has none.
std::string lf_findArchivedApf(std::string_view code);
bool lf_readApfLink(const std::filesystem::path& txtFile, std::string& line);
// The passes of the static parking so far, and the pause after which a park file that
// failed is asked for again.
uint64_t lf_staticParkingPasses();
inline constexpr int32_t g_staticParkingPassSeconds = 16;
inline constexpr int32_t g_parkFileRetryPauseMinutes = 20;
inline constexpr uint64_t g_parkFileRetryPausePasses = g_parkFileRetryPauseMinutes * 60 / g_staticParkingPassSeconds;
// Who asks for a park file, and so how long a failed fetch of it stands: the closest-stand
// comparison, made anew wherever the user aircraft stops on the ground, takes a failure as
// it is for the retry pause; the load of the park airport only from the lookup that has
// just chosen it (this pass or the one before), and otherwise asks the site again.
enum class ApfFetchFor { ClosestStand, Load };
// Empty on success, else "failed to download: '<url>'". The site is asked once per run and
// source for a file it gave: later calls copy that until the source is forgotten.
std::string lf_downloadApf(std::string_view source, const std::filesystem::path& local, ApfFetchFor caller);
void lf_forgetFetchedApf(std::string_view source);
void lf_forgetFetchedApfs();
// Empty when the source has no learned file.
std::filesystem::path lf_learnedApfPath(std::string_view source, std::string_view publisher);
// A source text as a local path ('\' and '/' both separate).
std::filesystem::path lf_sourcePath(std::string_view source);

// The learned overlay. lf_readLearned lays the file over the table and reports whether
// the table may later be saved over it (false when it broke off half way).
bool lf_readLearned(const std::filesystem::path& path, const ParkFileDetails& details,
                    std::vector<ParkStand>& table, pugi::xml_document& kept);
bool lf_applyLearnedParkpos(const pugi::xml_node& parkpos, std::string_view id, bool oldFile, ParkStand& stand,
                            pugi::xml_node kept = {});
bool lf_sameStandFlight(const StandFlight& a, const StandFlight& b);

// What the last load read, for the save of the learned file.
struct ParkFileRead {
    std::string code;
    std::string source;
    ParkFileDetails details;
    std::filesystem::path learnedPath;
    // Clear when the learned file exists but was not applied whole: saving over it would
    // lose what it holds.
    bool saveAllowed = true;
    // Learned "parkpos" elements of stands that the park file lacks, under kept's root.
    pugi::xml_document kept;
};
ParkFileRead& gf_lastParkFileRead();
