#include <memory>

#include "app/CDataStoreQuery.h"
#include "platform/Profiles.h"

namespace {

// RegEnumKeyExW's name buffer: the longest key name plus its terminator.
constexpr std::uint32_t kProfileNameUnits = 256;

}  // namespace

void CDataStoreQuery::LoadUsers() {
    if (allUsers) {
        users.emplace_back(u"ALL");
        return;
    }
    const std::unique_ptr<platform::ProfileList> profiles = platform::ProfileList::Open();
    if (!profiles) {
        return;
    }
    // Names are taken as they come: no filtering, sorting or de-duplication.
    // A failing index ends the list there.
    std::u16string name;
    for (std::uint32_t index = 0;
         profiles->EnumName(index, name, kProfileNameUnits) == platform::kProfileEnumOk; ++index) {
        users.push_back(name);
    }
}
