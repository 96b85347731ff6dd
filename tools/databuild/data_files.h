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
#include "databuild/xml_content.h"

namespace databuild {

// One record of dbase.xml's registration section. The open data hold none, so the
// published files have none; the tests and the demo make fictional ones for their own
// folders.
struct Registration {
    std::string reg;
    std::string airl;
    std::string type;
    std::string opr; // empty unless another airline operates it
    bool cargo = false;
};

// Every section of dbase.xml in the file's order. ICAO_airlines holds every code of the
// airlines (active or not), always "ZZZ" (the private owners) and never "RFO".
XmlFileContent dbaseContent(const HandTables& tables, const std::vector<OpenAirline>& airlines,
                            const std::vector<Registration>& registrations);
// One "db" element; "opr" and "cargo" only when set.
XmlElement dbElement(const Registration& registration);

// One "airport" element per airport, with the hand table's stands (else 0).
XmlFileContent airportsContent(const std::vector<OpenAirport>& airports, const std::map<std::string, int32_t>& stands);
XmlElement airportElement(const OpenAirport& airport, int32_t stands);

// What the files are made from: the hand tables and the open data.
struct DataInputs {
    HandTables tables;
    std::vector<OpenAirline> airlines;
    std::vector<OpenAirport> airports;
};

struct DataFiles {
    std::string dbaseXml;
    std::string airportsXml;
    size_t airportCount = 0;
    size_t registrationCount = 0;
};

// Reads tools/data and tools/node_modules below the builder's folder; throws
// std::runtime_error naming the file at fault.
DataInputs readDataInputs(const std::filesystem::path& toolsFolder);
DataFiles makeDataFiles(const DataInputs& inputs, const std::vector<Registration>& registrations);
// The published files: facts only, an empty registration section.
DataFiles buildDataFiles(const std::filesystem::path& toolsFolder);

} // namespace databuild
