#include <string_view>

#include "app/CDataStoreQuery.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/SystemInfo.h"
#include "platform/Text.h"

namespace {

// GetCurrentDirectoryW's buffer: the platform's MAX_PATH.
constexpr std::uint32_t kCurrentDirectoryUnits = 260;

// The formatted part of the default name fits a buffer of 200 units with room
// to spare: ten fixed characters and at most five digits per field.
constexpr std::size_t kFileNameBufferUnits = 200;
static_assert(10 + 6 * 5 < kFileNameBufferUnits);

}  // namespace

bool CDataStoreQuery::ResolveOutputPath(std::u16string& path) {
    const std::u16string value = path;
    const std::size_t lastSeparator = value.rfind(platform::kPathSeparator);

    if (lastSeparator == std::u16string::npos) {
        // A drive-relative value such as C:r.csv is used as it stands.
        if (platform::kDriveRelativePaths && value.find(u':') != std::u16string::npos) {
            return false;
        }
        std::u16string directory;
        const std::uint32_t length =
            platform::ReadCurrentDirectory(directory, kCurrentDirectoryUnits);
        if (length == 0) {
            return false;
        }
        if (length >= kCurrentDirectoryUnits) {
            return true;
        }
        path = directory;
        path += platform::kPathSeparator;
        path += value.empty() ? MakeDefaultFileName() : value;
        return true;
    }

    const std::u16string directory = value.substr(0, lastSeparator + 1);
    const std::u16string name = value.substr(lastSeparator + 1);
    bool resolved = true;
    if (platform::PathExists(directory)) {
        path = directory;
    } else {
        resolved = CreateDirectoryPath(directory);
        path = resolved ? directory : value;
    }
    // The directory keeps its own separator, so the name follows a second one.
    path += platform::kPathSeparator;
    path += name.empty() ? MakeDefaultFileName() : name;
    return resolved;
}

bool CDataStoreQuery::CreateDirectoryPath(const std::u16string& directory) {
    std::u16string_view remainder = directory;
    std::u16string accumulated;
    while (!remainder.empty()) {
        const std::size_t separator = remainder.find(platform::kPathSeparator);
        const std::size_t take =
            separator == std::u16string_view::npos ? remainder.size() : separator + 1;
        accumulated.append(remainder.substr(0, take));
        remainder.remove_prefix(take);
        if (!platform::PathExists(accumulated) && !platform::MakeDirectory(accumulated)) {
            break;
        }
    }
    return platform::PathExists(accumulated);
}

std::u16string CDataStoreQuery::MakeDefaultFileName() const {
    const SYSTEMTIME now = platform::LocalNow();
    std::u16string name = hostName;
    name += u'_';
    name += platform::DecimalText(now.wYear);
    name += platform::DecimalText(now.wMonth);
    name += platform::DecimalText(now.wDay);
    name += u'_';
    name += platform::DecimalText(now.wHour, 2);
    name += platform::DecimalText(now.wMinute, 2);
    name += platform::DecimalText(now.wSecond, 2);
    name += u"_URLs.csv";
    return name;
}
