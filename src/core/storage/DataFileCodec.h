#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/MessageList.h"
#include "engine/Outcome.h"
#include "storage/DataFilePath.h"

namespace quenby {

class IDataProtector;

// The bytes of a data file for every row of the list, read by the row codec. Fails, producing
// nothing, when a text cannot be kept in the form: a line break in the plain form (it would end the
// text early and garble every later record), or a text the protector refuses. `protector` may be
// null for the plain form.
Expected<std::vector<std::uint8_t>> EncodeDataFile(const CMessageList& list, EDataFileForm form,
                                                   IDataProtector* protector);

// A new list from the bytes of a whole data file, or why they are not one: the file ends early,
// its count is negative or larger than the bytes can hold, a text cannot be unprotected, or bytes
// follow the last record. Nothing is allocated from a count before the bytes for it are known to
// be there.
Expected<CMessageList> DecodeDataFile(std::span<const std::uint8_t> bytes, EDataFileForm form,
                                      IDataProtector* protector);

}  // namespace quenby
