/* SDO abort codes (CiA 301) with their texts: the one list the library's
 * messages (morvell::sdo::Abort, abortText) and quorvane's trace are made
 * from. Macros only, no declarations: C and C++ can include it.
 *
 * MORVELL_SDO_ABORT_CODES(X) expands X(name, code, text) once per code, in
 * the order the texts are searched. `code` is the wire value (bytes 4-7 of
 * an abort frame, little-endian). */
#ifndef MORVELL_SDO_ABORT_CODES_H
#define MORVELL_SDO_ABORT_CODES_H

#define MORVELL_SDO_ABORT_CODES(X)                                                                 \
    X(ToggleBit, 0x05030000u, "Toggle bit not alternated")                                         \
    X(Timeout, 0x05040000u, "SDO protocol timed out")                                              \
    X(CommandSpecifier, 0x05040001u, "Client/Server command specifier not valid or unknown")       \
    X(BlockSize, 0x05040002u, "Invalid block size")                                                \
    X(SequenceNumber, 0x05040003u, "Invalid sequence number")                                      \
    X(Crc, 0x05040004u, "CRC error")                                                               \
    X(OutOfMemory, 0x05040005u, "Out of memory")                                                   \
    X(UnsupportedAccess, 0x06010000u, "Unsupported access to an object")                           \
    X(WriteOnly, 0x06010001u, "Attempt to read a write only object")                               \
    X(ReadOnly, 0x06010002u, "Attempt to write a read only object")                                \
    X(NoObject, 0x06020000u, "Object does not exist in the object dictionary")                     \
    X(NoMapping, 0x06040041u, "Object cannot be mapped to the PDO")                                \
    X(PdoLength, 0x06040042u,                                                                      \
      "The number and length of the objects mapped would exceed PDO length")                       \
    X(ParameterIncompatible, 0x06040043u, "General parameter incompatibility reason")              \
    X(InternalIncompatible, 0x06040047u, "General internal imcompatibility in the device")         \
    X(Hardware, 0x06060000u, "Access failed due to a hardware error")                              \
    X(TypeLength, 0x06070010u,                                                                     \
      "Data type does not match, length of service parameter does not match")                      \
    X(TypeLengthHigh, 0x06070012u,                                                                 \
      "Data type does not match, length of service parameter too high")                            \
    X(TypeLengthLow, 0x06070013u, "Data type does not match, length of service parameter too low") \
    X(NoSubindex, 0x06090011u, "Sub-index does not exist")                                         \
    X(ValueRange, 0x06090030u, "Value range of parameter exceeded")                                \
    X(ValueHigh, 0x06090031u, "Value of parameter written too high")                               \
    X(ValueLow, 0x06090032u, "Value of parameter written too low")                                 \
    X(MaxBelowMin, 0x06090036u, "Maximum value is less than minimum value")                        \
    X(NoResource, 0x060A0023u, "Resource not available: SDO connection")                           \
    X(General, 0x08000000u, "General error")                                                       \
    X(DataStore, 0x08000020u, "Data cannot be transferred or stored to the application")           \
    X(DataStoreLocal, 0x08000021u,                                                                 \
      "Data cannot be transferred or stored to the application because of local control")          \
    X(DataStoreState, 0x08000022u,                                                                 \
      "Data cannot be transferred or stored to the application because of the present device "     \
      "state")                                                                                     \
    X(NoDictionary, 0x08000023u,                                                                   \
      "Object Dictionary dynamic generation failed/No Object Dictionary present")                  \
    X(NoData, 0x08000024u, "No data available")

#endif
