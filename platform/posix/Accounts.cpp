#include "platform/Accounts.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Text.h"

namespace platform {

namespace {

constexpr std::u16string_view kUnixUserPrefix = u"S-1-22-1-";
constexpr std::size_t kMaxRecordBuffer = std::size_t{1} << 20;

// The uid of "S-1-22-1-<uid>": decimal digits only, nothing after them, and a
// value that fits a 32-bit uid.
std::optional<std::uint32_t> ParseUnixUserSid(std::u16string_view sidText) {
    if (!sidText.starts_with(kUnixUserPrefix)) {
        return std::nullopt;
    }
    const std::u16string_view digits = sidText.substr(kUnixUserPrefix.size());
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char16_t unit : digits) {
        if (unit < u'0' || unit > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(unit - u'0');
        if (value > UINT32_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

bool LookupAccount(std::u16string_view sidText, std::u16string& domain, std::u16string& name) {
    const std::optional<std::uint32_t> uid = ParseUnixUserSid(sidText);
    if (!uid) {
        return false;
    }

    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
    passwd record{};
    passwd* found = nullptr;
    for (;;) {
        const int error =
            getpwuid_r(static_cast<uid_t>(*uid), &record, buffer.data(), buffer.size(), &found);
        if (error != ERANGE) {
            break;
        }
        if (buffer.size() >= kMaxRecordBuffer) {
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr) {
        return false;
    }

    domain = u"Unix User";
    name = Utf8ToUtf16(found->pw_name != nullptr ? found->pw_name : "");
    return true;
}

}  // namespace platform
