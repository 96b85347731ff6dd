#pragma once
// The BGL scenery file as far as airports go, in 32-bit little-endian words: word i is
// byte 4 x i. Places inside a record count from the record's first word.
#include <cstdint>

namespace bgl {

// File header and section table.
inline constexpr uint32_t kHeaderSizeWord = 1;
inline constexpr uint32_t kHeaderSize = 56;
inline constexpr uint32_t kSectionCountWord = 5;
inline constexpr uint64_t kSectionCountByte = 20;
inline constexpr uint64_t kSectionTableWord = 14;
inline constexpr uint64_t kSectionTableByte = 56;
inline constexpr uint64_t kSectionWords = 5;
inline constexpr uint64_t kSectionBytes = 20;
// Section header words: type, flags, sub-section count, offset of the first sub-section.
inline constexpr uint64_t kSectionFlags = 1;
inline constexpr uint64_t kSectionFirstSubsection = 3;
inline constexpr uint32_t kAirportSection = 3;
// Accepted flags: bit 16 clear, that is 16-byte sub-section headers.
inline constexpr uint32_t kFlagsMask = 0x10000;
inline constexpr uint32_t kFlagsAccepted = 0x40000;
// The word of a sub-section header that holds the file offset of its record data.
inline constexpr uint64_t kSubsectionDataWord = 2;

// Every record and sub-record: u16 id at byte 0, u32 size in bytes at byte 2.
enum RecordId : uint16_t {
    kAirportName = 0x19,
    kHelipad = 0x26,
    kAirport = 0x3C,
    kParkingList = 0x3D,
    kAirportAb = 0xAB,
    kParkingListAb = 0xAD,
};

// Airport record.
inline constexpr uint64_t kAirportAltitude = 5; // metres x 1000
inline constexpr uint64_t kAirportIdent = 10;   // packed ICAO ident
inline constexpr uint64_t kAirportFirstSub = 14;
inline constexpr uint64_t kAirportAbFirstSub = 15;

// Name sub-record: the characters from byte 6.
inline constexpr uint32_t kNameFirstByte = 6;
inline constexpr uint32_t kNameMostChars = 45;

// Helipad sub-record.
inline constexpr uint64_t kHelipadLon = 3;
inline constexpr uint64_t kHelipadLat = 4;
inline constexpr uint64_t kHelipadWidth = 7; // float, metres
inline constexpr uint64_t kHelipadHeading = 8; // float, degrees
inline constexpr uint64_t kHelipadWords = 9;

// Parking list sub-record: u16 count at byte 6 (the upper half of word 1), entries from
// word 2. An entry: packed word 0 (name code bits 0-5, type bits 8-11, number bits 12-23,
// airline code count bits 24-31), radius and heading floats, then longitude and latitude.
inline constexpr uint64_t kParkingCountWord = 1;
inline constexpr uint64_t kParkingFirstEntry = 2;
inline constexpr uint64_t kParkingRadius = 1;
inline constexpr uint64_t kParkingHeading = 2;
inline constexpr uint64_t kParkingLon = 7;
inline constexpr uint64_t kParkingLat = 8;
inline constexpr uint64_t kParkingWords = 9;
inline constexpr uint64_t kParkingAbExtraWords = 1;

// Positions: lon = v x 240 / 2^29 - 180, lat = 90 - v x 180 / 2^29.
inline constexpr double kLonPerUnit = 240.0 / 536870912.0;
inline constexpr double kLatPerUnit = 180.0 / 536870912.0;

// The walks give up after this many records or sub-records.
inline constexpr uint32_t kMostRecords = 5000;

} // namespace bgl
