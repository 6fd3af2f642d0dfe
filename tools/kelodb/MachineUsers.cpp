#include "tools/kelodb/MachineUsers.h"

#include <algorithm>

#include "platform/Profiles.h"
#include "platform/Text.h"

namespace kelodb {

std::vector<std::string> MachineUsers() {
    std::vector<std::string> users;
    const std::unique_ptr<platform::ProfileList> profiles = platform::ProfileList::Open();
    if (!profiles) {
        return users;
    }
    // The program's own name buffer, so both see the same list.
    constexpr std::uint32_t kNameBufferUnits = 256;
    std::u16string name;
    for (std::uint32_t index = 0;
         profiles->EnumName(index, name, kNameBufferUnits) == platform::kProfileEnumOk; ++index) {
        std::string user = platform::Utf16ToUtf8(name);
        if (!user.empty() && std::find(users.begin(), users.end(), user) == users.end()) {
            users.push_back(std::move(user));
        }
    }
    return users;
}

}  // namespace kelodb
