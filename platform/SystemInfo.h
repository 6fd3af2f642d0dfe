#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The computer name, at most bufferUnits - 1 units (GetComputerNameW's
// contract). False when it cannot be read.
bool ReadComputerName(std::u16string& name, std::uint32_t bufferUnits);

// GetCurrentDirectoryW's contract: the length of the directory (without a
// terminator) when it fits into bufferUnits units, the size needed (with the
// terminator) when it does not, 0 on failure. `directory` is filled only when
// the directory fits.
std::uint32_t ReadCurrentDirectory(std::u16string& directory, std::uint32_t bufferUnits);

}  // namespace platform
