#include "platform/SystemInfo.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace platform {

// The first label of the host name, as a NetBIOS-style computer name is one
// word. An empty name counts as unreadable, so the caller's fallback applies.
bool ReadComputerName(std::u16string& name, std::uint32_t bufferUnits) {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        return false;
    }
    std::string_view host(buffer);
    host = host.substr(0, host.find('.'));
    if (host.empty()) {
        return false;
    }

    std::u16string converted = Utf8ToUtf16(host);
    if (converted.size() >= bufferUnits) {
        return false;
    }
    name = std::move(converted);
    return true;
}

std::uint32_t ReadCurrentDirectory(std::u16string& directory, std::uint32_t bufferUnits) {
    std::vector<char> buffer(PATH_MAX);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }

    std::u16string converted = Utf8ToUtf16(buffer.data());
    const std::size_t length = converted.size();
    if (length + 1 > UINT32_MAX) {
        return 0;
    }
    if (length >= bufferUnits) {
        return static_cast<std::uint32_t>(length + 1);
    }
    directory = std::move(converted);
    return static_cast<std::uint32_t>(length);
}

}  // namespace platform
