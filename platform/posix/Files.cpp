#include "platform/Files.h"

#include <sys/stat.h>

#include <string>

#include "platform/Text.h"
#include "platform/common/OpenForWriting.h"

namespace platform {

namespace {

// A path holding a NUL would name a different, shorter path to the system:
// such a path names nothing.
bool ToSystemPath(std::u16string_view path, std::string& systemPath) {
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
        return false;
    }
    systemPath = Utf16ToUtf8(path);
    return true;
}

}  // namespace

bool PathExists(std::u16string_view path) {
    std::string systemPath;
    struct stat status {};
    return ToSystemPath(path, systemPath) && stat(systemPath.c_str(), &status) == 0;
}

bool MakeDirectory(std::u16string_view path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && mkdir(systemPath.c_str(), 0777) == 0;
}

std::FILE* detail::OpenForWriting(std::u16string_view path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) ? std::fopen(systemPath.c_str(), "wb") : nullptr;
}

}  // namespace platform
