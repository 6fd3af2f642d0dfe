#include "platform/Files.h"

#include <sys/stat.h>

#include <string>

#include "platform/posix/SystemPath.h"

namespace platform {

using posix::ToSystemPath;

bool PathExists(std::u16string_view path) {
    std::string systemPath;
    struct stat status {};
    return ToSystemPath(path, systemPath) && stat(systemPath.c_str(), &status) == 0;
}

bool MakeDirectory(std::u16string_view path) {
    std::string systemPath;
    return ToSystemPath(path, systemPath) && mkdir(systemPath.c_str(), 0777) == 0;
}

}  // namespace platform
