#pragma once
// Reading a database made by the builder's library in a test's program folder.
#include <exception>
#include <string>
#include <vector>

#include "catalogue/dbase.h"
#include "support/data_file_fixture.h"

namespace dbasetest {

// "ok", "false", or the text of what gf_readDbase threw ("61: ..." for error 61).
inline std::string readWrittenDbase()
{
    try {
        return gf_readDbase() ? "ok" : "false";
    } catch (const std::exception& e) {
        return e.what();
    }
}

inline std::string readDbase(const databuild::XmlFileContent& content)
{
    tavtest::writeEncryptedInput("dbase.enc", databuild::renderXml(content));
    return readWrittenDbase();
}

// Large A319 A320 A321 (a320), B737 B738 B739 (b737), E145 (emb); heavy B744 B748 (b747),
// B77W, B77L; buzjet C25A C525 (cj), E135 (emb); light C172 C182 C208 (cessna), PA28,
// DV20, GLID; rotorcraft EC35 EC45 (ec); high performance F16. Cargo operators DEF and FDX;
// the fix B737-800 -> B738; a few registrations, N1ZZ among the short ones.
inline databuild::XmlFileContent catalogueDbase()
{
    using databuild::HandType;
    databuild::HandTables t = tavtest::smallHandTables();
    const TypeCategory large = TypeCategory::Large, heavy = TypeCategory::Heavy, buzjet = TypeCategory::Buzjet,
                       light = TypeCategory::Other, rotor = TypeCategory::Rotorcraft;
    t.types = {{"A319", large, false, 34.1, "a320"},   {"A320", large, false, 35.8, "a320"},
               {"A321", large, false, 35.8, "a320"},   {"B737", large, false, 34.3, "b737"},
               {"B738", large, false, 35.8, "b737"},   {"B739", large, false, 35.8, "b737"},
               {"E145", large, false, 20.0, "emb"},    {"B744", heavy, false, 64.4, "b747"},
               {"B748", heavy, false, 68.4, "b747"},   {"B77W", heavy, false, 64.8, ""},
               {"B77L", heavy, true, 64.8, ""},        {"C25A", buzjet, false, 15.5, "cj"},
               {"C525", buzjet, false, 14.4, "cj"},    {"E135", buzjet, false, 20.0, "emb"},
               {"C172", light, false, 11.0, "cessna"}, {"C182", light, false, 11.0, "cessna"},
               {"C208", light, false, 15.9, "cessna"}, {"PA28", light, false, 10.7, ""},
               {"DV20", light, false, 10.8, ""},       {"GLID", light, false, 15.0, ""},
               {"EC35", rotor, false, 10.2, "ec"},     {"EC45", rotor, false, 11.0, "ec"},
               {"F16", TypeCategory::HighPerformance, false, 9.96, ""}};
    t.cargoOperators = {"DEF", "FDX"};
    std::vector<databuild::OpenAirline> airlines;
    for (const char* code : {"ABC", "ADA", "DEF", "DLH", "FDX", "KLM", "MPH", "NJE"})
        airlines.push_back({code, "Germany", true});
    return databuild::dbaseContent(t, airlines,
                                   {{"PH-BXA", "KLM", "B738", "", false},
                                    {"PH-BXB", "KLM", "B738", "", false},
                                    {"PH-MPA", "KLM", "B744", "MPH", false},
                                    {"D-AIAB", "DLH", "A320", "", false},
                                    {"D-AIAC", "DLH", "A321", "", false},
                                    {"D-AIAD", "DLH", "A321", "", false},
                                    {"N12345", "DEF", "B77L", "ABC", true},
                                    {"N182ZZ", "ZZZ", "C182", "", false},
                                    {"N1ZZ", "ZZZ", "C172", "", false}});
}

// Elements of the named section, replaced.
inline void setSection(databuild::XmlFileContent& content, std::string_view name,
                       std::vector<databuild::XmlElement> elements)
{
    content.section(name).elements = std::move(elements);
}

} // namespace dbasetest
