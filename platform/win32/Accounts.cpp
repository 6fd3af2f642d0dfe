#include "platform/Accounts.h"

#include <memory>
#include <new>
#include <optional>

#include "platform/win32/Wide.h"

#include <sddl.h>

namespace platform {

namespace {

// A SID from ConvertStringSidToSidW, which must go back with LocalFree.
struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};
using OwnedSid = std::unique_ptr<void, LocalFreeDeleter>;

}  // namespace

// The two-call protocol: ask for the lengths with empty buffers, then look up
// again with buffers of those lengths (terminators included).
bool LookupAccount(std::u16string_view sidText, std::u16string& domain, std::u16string& name) {
    // Empty text names no account. (Wine's ConvertStringSidToSidW reads past
    // the terminator of an empty string and may make the NULL SID of it.)
    const std::optional<std::wstring> text = win32::ToCallText(sidText);
    if (sidText.empty() || !text) {
        return false;
    }
    PSID converted = nullptr;
    if (ConvertStringSidToSidW(text->c_str(), &converted) == 0 || converted == nullptr) {
        return false;
    }
    const OwnedSid sid(converted);

    DWORD nameUnits = 0;
    DWORD domainUnits = 0;
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid.get(), nullptr, &nameUnits, nullptr, &domainUnits, &use) ==
            0 &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }

    const std::unique_ptr<wchar_t[]> nameBuffer(new (std::nothrow) wchar_t[nameUnits]);
    const std::unique_ptr<wchar_t[]> domainBuffer(new (std::nothrow) wchar_t[domainUnits]);
    if (!nameBuffer || !domainBuffer) {
        return false;
    }
    if (LookupAccountSidW(nullptr, sid.get(), nameBuffer.get(), &nameUnits, domainBuffer.get(),
                          &domainUnits, &use) == 0) {
        return false;
    }
    // On success the lengths come back without the terminators.
    domain.assign(win32::AsUtf16(domainBuffer.get(), domainUnits));
    name.assign(win32::AsUtf16(nameBuffer.get(), nameUnits));
    return true;
}

}  // namespace platform
