#include "platform/Profiles.h"

#include <utility>
#include <vector>

#include "platform/win32/Wide.h"

namespace platform {

namespace {

constexpr const wchar_t* kProfileListKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr REGSAM kKeyRead = 0x20019;  // KEY_READ

// One open registry key, closed with RegCloseKey when it goes. Move-only.
class UniqueKey {
  public:
    UniqueKey() = default;
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    UniqueKey(UniqueKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    UniqueKey& operator=(UniqueKey&&) = delete;
    ~UniqueKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }

    HKEY Get() const { return key_; }
    // The slot for RegOpenKeyExW; only an empty holder gives it.
    HKEY* Put() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

// The open ProfileList key.
class RegistryProfileList final : public ProfileList {
  public:
    explicit RegistryProfileList(UniqueKey key) : key_(std::move(key)) {}

    long EnumName(std::uint32_t index, std::u16string& name,
                  std::uint32_t nameBufferUnits) override {
        if (buffer_.size() < nameBufferUnits) {
            buffer_.resize(nameBufferUnits);
        }
        // The length is in and out: it is set to the whole buffer for every call.
        DWORD length = nameBufferUnits;
        const LSTATUS result = RegEnumKeyExW(key_.Get(), index, buffer_.data(), &length, nullptr,
                                             nullptr, nullptr, nullptr);
        if (result == ERROR_SUCCESS) {
            name.assign(win32::AsUtf16(buffer_.data(), length));
        }
        return result;
    }

  private:
    UniqueKey key_;
    std::vector<wchar_t> buffer_;
};

}  // namespace

std::unique_ptr<ProfileList> ProfileList::Open() {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileListKey, 0, kKeyRead, key.Put()) !=
            ERROR_SUCCESS ||
        key.Get() == nullptr) {
        return nullptr;
    }
    return std::make_unique<RegistryProfileList>(std::move(key));
}

}  // namespace platform
