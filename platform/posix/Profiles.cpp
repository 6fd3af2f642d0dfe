#include "platform/Profiles.h"

#include <pwd.h>

#include <string>
#include <vector>

#include "platform/Text.h"

namespace platform {

namespace {

constexpr long kErrorMoreData = 234;  // ERROR_MORE_DATA

// The user database as it stood when the list was opened: every entry the
// name service gives (local files, LDAP, systemd and so on), in its order,
// duplicates included.
class PasswdProfileList final : public ProfileList {
  public:
    explicit PasswdProfileList(std::vector<std::u16string> names) : names_(std::move(names)) {}

    long EnumName(std::uint32_t index, std::u16string& name,
                  std::uint32_t nameBufferUnits) override {
        if (index >= names_.size()) {
            return kProfileEnumNoMoreItems;
        }
        const std::u16string& entry = names_[index];
        if (entry.size() >= nameBufferUnits) {
            return kErrorMoreData;
        }
        name = entry;
        return kProfileEnumOk;
    }

  private:
    std::vector<std::u16string> names_;
};

}  // namespace

// getpwent gives no reliable way to tell the end of the database from a
// failing source, so the snapshot holds whatever the name service delivered;
// an unreachable source shortens the list as a failing enumeration would.
std::unique_ptr<ProfileList> ProfileList::Open() {
    std::vector<std::u16string> names;
    setpwent();
    while (const passwd* entry = getpwent()) {
        names.push_back(u"S-1-22-1-" + Utf8ToUtf16(std::to_string(entry->pw_uid)));
    }
    endpwent();
    return std::make_unique<PasswdProfileList>(std::move(names));
}

}  // namespace platform
