#include "platform/Profiles.h"

#include <vector>

#include "platform/win32/Wide.h"

namespace platform {

namespace {

constexpr const wchar_t* kProfileListKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr REGSAM kKeyRead = 0x20019;  // KEY_READ

// The open ProfileList key; closed with RegCloseKey when the object goes.
class RegistryProfileList final : public ProfileList {
  public:
    explicit RegistryProfileList(HKEY key) : key_(key) {}
    RegistryProfileList(const RegistryProfileList&) = delete;
    RegistryProfileList& operator=(const RegistryProfileList&) = delete;
    ~RegistryProfileList() override { RegCloseKey(key_); }

    long EnumName(std::uint32_t index, std::u16string& name,
                  std::uint32_t nameBufferUnits) override {
        if (buffer_.size() < nameBufferUnits) {
            buffer_.resize(nameBufferUnits);
        }
        // The length is in and out: it is set to the whole buffer for every call.
        DWORD length = nameBufferUnits;
        const LSTATUS result =
            RegEnumKeyExW(key_, index, buffer_.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_SUCCESS) {
            name.assign(win32::AsUtf16(buffer_.data(), length));
        }
        return result;
    }

  private:
    HKEY key_;
    std::vector<wchar_t> buffer_;
};

}  // namespace

std::unique_ptr<ProfileList> ProfileList::Open() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileListKey, 0, kKeyRead, &key) != ERROR_SUCCESS ||
        key == nullptr) {
        return nullptr;
    }
    return std::make_unique<RegistryProfileList>(key);
}

}  // namespace platform
