#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

inline constexpr long kProfileEnumOk = 0;
inline constexpr long kProfileEnumNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS

// The machine's list of user profiles, opened for reading. On Windows the
// registry's ProfileList key; on POSIX a snapshot of the user database, each
// user as "S-1-22-1-<uid>". Closed when the object goes.
class ProfileList {
  public:
    // Null when the list cannot be opened.
    static std::unique_ptr<ProfileList> Open();

    virtual ~ProfileList() = default;

    // The name at `index` into `name` (a buffer of nameBufferUnits units):
    // kProfileEnumOk, kProfileEnumNoMoreItems past the last index, any other
    // non-zero code on failure.
    virtual long EnumName(std::uint32_t index, std::u16string& name,
                          std::uint32_t nameBufferUnits) = 0;
};

}  // namespace platform
