// Object dictionaries from EDS files (CiA 306 INI text). No I/O except
// loadEdsFile, which reads the file and parses it.
//
//   [1017]                          one section per object: 4 hex digits
//   ParameterName=Producer heartbeat time
//   ObjectType=0x7                  0x7 VAR (default), 0x8 ARRAY, 0x9 RECORD, 0x2 DOMAIN
//   DataType=0x0006                 see DataType in object_dictionary.h
//   AccessType=rw                   ro, wo, rw, rwr, rww, const
//   DefaultValue=1000               decimal, 0x hex, leading-0 octal,
//                                   $NODEID+0x180 or 0x180+$NODEID
//   [1018]                          ARRAY / RECORD: SubNumber=5, then [1018sub0]..
//   SubNumber=5
//   [1018sub4]
//   ...
//
// Every object section is read; [MandatoryObjects], [OptionalObjects],
// [ManufacturerObjects], [FileInfo], [DeviceInfo], [Comments] and the data
// type definitions below index 0x1000 are not needed and skipped. Strings
// get a capacity of at least kDefaultStringCapacity, domains of at least
// kDefaultDomainCapacity; a DOMAIN DefaultValue is hex bytes ("0A1B2C").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "object_dictionary.h"

namespace quorsim {

inline constexpr std::size_t kDefaultStringCapacity = 255;
inline constexpr std::size_t kDefaultDomainCapacity = 65536;
// Largest EDS file read; a larger one is refused.
inline constexpr std::size_t kMaxEdsFileBytes = std::size_t{16} << 20;

struct EdsResult {
    std::optional<ObjectDictionary> dictionary;  // empty on failure
    std::string error;  // on failure: "line 12: DataType 0x0099 is not supported"
};

// Parses EDS text for node 1-127 ($NODEID takes its value).
EdsResult parseEds(std::string_view text, std::uint8_t node);

// Reads and parses a file; errors name the file.
EdsResult loadEdsFile(const std::string& path, std::uint8_t node);

}  // namespace quorsim
