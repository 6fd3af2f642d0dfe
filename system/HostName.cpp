#include <utility>

#include "app/CDataStoreQuery.h"
#include "platform/SystemInfo.h"

namespace {

constexpr std::uint32_t kComputerNameUnits = 200;

}  // namespace

void CDataStoreQuery::LoadHostName() {
    std::u16string name;
    if (platform::ReadComputerName(name, kComputerNameUnits)) {
        hostName = std::move(name);
    } else {
        hostName = u"HostName";
    }
}
