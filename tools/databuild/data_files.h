#pragma once
// The plain content of dbase.xml and airports.xml, made from the open data and the hand
// tables; the tests make their fixtures from the same functions.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "databuild/hand_tables.h"
#include "databuild/open_data.h"
#include "databuild/registrations.h"
#include "databuild/xml_content.h"

namespace databuild {

// Every section of dbase.xml in the file's order. ICAO_airlines holds every code of the
// airlines (active or not), always "ZZZ" (the private owners) and never "RFO".
XmlFileContent dbaseContent(const HandTables& tables, const std::vector<OpenAirline>& airlines,
                            const std::vector<Registration>& registrations);
// One "db" element; "opr" and "cargo" only when set.
XmlElement dbElement(const Registration& registration);

// One "airport" element per airport, with the hand table's stands (else 0).
XmlFileContent airportsContent(const std::vector<OpenAirport>& airports, const std::map<std::string, int32_t>& stands);
XmlElement airportElement(const OpenAirport& airport, int32_t stands);

struct DataFiles {
    std::string dbaseXml;
    std::string airportsXml;
    std::string registrationsCsv;
    size_t airportCount = 0;
    size_t registrationCount = 0;
};

// Reads tools/data and tools/node_modules below the builder's folder; throws
// std::runtime_error naming the file at fault.
DataFiles buildDataFiles(const std::filesystem::path& toolsFolder, uint32_t seed = g_defaultSeed,
                         size_t registrationCount = g_defaultRegistrationCount);

} // namespace databuild
