#include "sdo_abort.h"

#include <cstdio>

namespace morvell::sdo {
namespace {

struct AbortEntry {
    Abort abort;
    const char* text;
};

constexpr AbortEntry kAbortTable[] = {
    {Abort::ToggleBit, "Toggle bit not alternated"},
    {Abort::Timeout, "SDO protocol timed out"},
    {Abort::CommandSpecifier, "Client/server command specifier not valid or unknown"},
    {Abort::BlockSize, "Invalid block size"},
    {Abort::SequenceNumber, "Invalid sequence number"},
    {Abort::Crc, "CRC error"},
    {Abort::OutOfMemory, "Out of memory"},
    {Abort::UnsupportedAccess, "Unsupported access to an object"},
    {Abort::WriteOnly, "Attempt to read a write only object"},
    {Abort::ReadOnly, "Attempt to write a read only object"},
    {Abort::NoObject, "Object does not exist in the object dictionary"},
    {Abort::NoMapping, "Object cannot be mapped to the PDO"},
    {Abort::PdoLength, "The number and length of the objects to be mapped would exceed PDO length"},
    {Abort::ParameterIncompatible, "General parameter incompatibility reason"},
    {Abort::InternalIncompatible, "General internal incompatibility in the device"},
    {Abort::Hardware, "Access failed due to a hardware error"},
    {Abort::TypeLength, "Data type does not match, length of service parameter does not match"},
    {Abort::TypeLengthHigh, "Data type does not match, length of service parameter too high"},
    {Abort::TypeLengthLow, "Data type does not match, length of service parameter too low"},
    {Abort::NoSubindex, "Sub-index does not exist"},
    {Abort::ValueRange, "Invalid value for parameter"},
    {Abort::ValueHigh, "Value of parameter written too high"},
    {Abort::ValueLow, "Value of parameter written too low"},
    {Abort::MaxBelowMin, "Maximum value is less than minimum value"},
    {Abort::NoResource, "Resource not available: SDO connection"},
    {Abort::General, "General error"},
    {Abort::DataStore, "Data cannot be transferred or stored to the application"},
    {Abort::DataStoreLocal,
     "Data cannot be transferred or stored to the application because of local control"},
    {Abort::DataStoreState,
     "Data cannot be transferred or stored to the application because of the present device state"},
    {Abort::NoDictionary,
     "Object dictionary dynamic generation fails or no object dictionary is present"},
    {Abort::NoData, "No data available"},
};

}  // namespace

const char* abortText(std::uint32_t c) {
    for (const auto& e : kAbortTable)
        if (code(e.abort) == c) return e.text;
    return "Unknown abort code";
}

std::string describeAbort(std::uint32_t c) {
    char buf[24];
    std::snprintf(buf, sizeof buf, " (0x%08X)", static_cast<unsigned>(c));
    return std::string(abortText(c)) + buf;
}

}  // namespace morvell::sdo
